// Start-up, the settings file and switching catalogues. (Being written.)
#include "app/main_window.h"

void TForm1::FormCreate() {}
bool TForm1::FormClose() { return true; }
void TForm1::otevritExecute() {}
QString TForm1::SettingsPath() const { return executable_dir_ + "/nastav.ini"; }
QString TForm1::DefaultCatalogue() const { return start_dir_ + "/svazkovna.db"; }
