// The new-record dialog. (Being written.)
#include "app/edit_dialog.h"

#include "app/main_window.h"

namespace Ui {
class Teditf {};  // until the layout exists
}

Teditf* editf = nullptr;

Teditf::Teditf(TForm1& form, UiServices& ui, QWidget* parent)
    : QDialog(parent), main_(form), ui_services_(ui) {}
Teditf::~Teditf() = default;
void Teditf::FormActivate() {}
void Teditf::ulozitbClick() {}
void Teditf::stornobClick() {}
bool Teditf::FormClose() { return true; }
void Teditf::showEvent(QShowEvent* event) { QDialog::showEvent(event); }
void Teditf::closeEvent(QCloseEvent* event) { QDialog::closeEvent(event); }
void Teditf::keyPressEvent(QKeyEvent* event) { QDialog::keyPressEvent(event); }
void Teditf::done(int result) { QDialog::done(result); }
