// The record panel: show, save and delete a book. (Being written.)
#include "app/main_window.h"

void TForm1::tv1Click() {}
void TForm1::ulozitbClick() {}
void TForm1::smazatbClick() {}
