// The model run's steps: what a user does, and what the model expects of it.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <random>
#include <sstream>

#include "app/loans/loan_history_notice.h"
#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/window/edit_dialog.h"
#include "app/window/spin_edit.h"
#include "app/window/tree_node.h"
#include "app/platform/value_lists.h"
#include "support/app_catalogue_rows.h"
#include "support/app_window_fixture.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

#include "model_run.h"

namespace testsupport::model {

void ModelRun::DoRandomStep() {
    int r = Pick(100);
    const bool big = current_->rows.size() > 60;
    if (big && r < 20) r = 40;  // a big table gets more deletes than adds
    if (r < 20)
        AddBook();
    else if (r < 40)
        ClickTitle();
    else if (r < 43)
        ClickAuthor();
    else if (r < 58)
        EditPanel();
    else if (r < 72)
        Save();
    else if (r < 82)
        Delete();
    else if (r < 91)
        Search();
    else if (r < 97)
        Switch();
    else
        Restart();
}

void ModelRun::Log(const std::string& what) {
    log_.push_back("step " + std::to_string(step_) + ": " + what);
    if (log_.size() > 12) log_.pop_front();
}

void ModelRun::Activate(QWidget* w) {
    QApplication::setActiveWindow(w);
    if (!QTest::qWaitForWindowActive(w)) ADD_FAILURE() << "window not active";
}

void ModelRun::TypeKeys(QWidget* field, const QString& text) {
    Activate(field->window());
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    for (QChar c : text) QTest::keyClick(field, c.toLatin1());
}

void ModelRun::AddBook() {
    Text f[7];
    for (int i = 0; i < 7; ++i) f[i] = NewText(i < 2);
    if (Chance(8)) f[Pick(2)] = Text{};
    const auto [ratingTyped, rating] = NewRating();
    const int how = Pick(10);  // 0..7 uložit, 8 storno, 9 close box
    Log("add " + Describe(Value(f[0].bytes)) + " / " + Describe(Value(f[1].bytes)) +
        (how < 8    ? " uložit"
         : how == 8 ? " storno"
                    : " close box"));
    ui.QueueDialog([&, how, ratingTyped = ratingTyped](QDialog& d) {
        Ui::Teditf& e = *static_cast<Teditf&>(d).form();
        e.autorcb->setEditText(f[0].shown);
        e.titulle->setText(f[1].shown);
        e.zanrcb->setEditText(f[2].shown);
        e.vydalcb->setEditText(f[3].shown);
        e.seriele->setText(f[4].shown);
        e.umistenicb->setEditText(f[5].shown);
        e.poznamkale->setText(f[6].shown);
        TypeKeys(e.hodnocenispin, ratingTyped);
        if (how < 8)
            QTest::mouseClick(e.ulozitb, Qt::LeftButton);
        else if (how == 8)
            QTest::mouseClick(e.stornob, Qt::LeftButton);
    });
    window->form()->novyzaznam->trigger();

    if (how < 8 && !f[0].shown.isEmpty() && !f[1].shown.isEmpty()) {
        bool fits = true;
        for (const Text& t : f) fits = fits && t.fits;
        if (!fits) {
            ++stats["books refused"];
            expectedBoxes_.push_back({Kind::Error, {}});
        } else {
            Row r;
            r[0] = static_cast<long long>(NextId());
            r[1] = f[0].bytes;
            r[2] = f[1].bytes;
            r[3] = f[2].bytes;
            r[4] = f[3].bytes;
            r[5] = f[4].bytes;
            r[6] = f[5].bytes;
            r[7] = r[8] = r[11] = r[12] = r[13] = std::string();
            r[9] = static_cast<long long>(rating);
            r[10] = f[6].bytes;
            current_->rows.push_back(r);
            ++stats["books stored"];
            changed_ = true;
        }
    }
    Rebuild();  // every close of the dialog rebuilds the tree
}

QTreeWidgetItem* ModelRun::Node(int author, int title) const {
    QTreeWidgetItem* a = Tree().topLevelItem(author);
    return title < 0 ? a : TitleNode(*a, title);
}

void ModelRun::ClickTitle() {
    std::vector<std::pair<int, int>> titles;
    for (size_t a = 0; a < tree_.size(); ++a)
        for (size_t t = 0; t < tree_[a].titles.size(); ++t)
            titles.emplace_back(static_cast<int>(a), static_cast<int>(t));
    if (titles.empty()) return ClickAuthor();
    const auto [ai, ti] = titles[Pick(static_cast<int>(titles.size()))];
    Log("click title " + std::to_string(ai) + "/" + std::to_string(ti) + " " + Describe(Value(tree_[ai].titles[ti])));
    ClickItem(Tree(), Node(ai, ti));

    // The row: the node's author and title bytes; among namesakes the node's rank.
    const ExpectedAuthor& a = tree_[ai];
    const std::string& title = a.titles[ti];
    std::vector<const Row*> matching;
    for (const Row& r : current_->rows)
        if (std::holds_alternative<std::string>(r[1]) && TextOf(r[1]) == a.bytes &&
            std::holds_alternative<std::string>(r[2]) && TextOf(r[2]) == title)
            matching.push_back(&r);
    int earlier = 0;
    for (int i = 0; i < ti; ++i) earlier += a.titles[i] == title;
    const Row* row = matching.empty()
                         ? nullptr
                         : matching[std::min<size_t>(matching.size() >= 2 ? earlier : 0, matching.size() - 1)];
    for (int s = 0; s < 9; ++s) {
        const std::string bytes = row ? Cut(TextOf((*row)[kPanelColumns[s]])) : std::string();
        panel_[s] = Shown(bytes);
        cut_[s] = bytes.size() == kCut ? panel_[s] : QString();
    }
    const long long stored = row && std::holds_alternative<long long>((*row)[9]) ? std::get<long long>((*row)[9]) : 0;
    rating_ = static_cast<int>(std::clamp<long long>(stored, 1, 5));
    panelId_ = row ? std::get<long long>((*row)[0]) : 0;
    shown_ = row != nullptr;
    ++stats[row ? "titles shown" : "titles without a row"];
    tree_[ai].expanded = true;  // bringing the title into view opens its author
    selAuthor_ = ai;
    selTitle_ = ti;
}

void ModelRun::ClickAuthor() {
    if (tree_.empty()) return Search();
    const int ai = Pick(static_cast<int>(tree_.size()));
    Log("click author " + std::to_string(ai));
    ClickItem(Tree(), Node(ai, -1));
    selAuthor_ = ai;
    selTitle_ = -1;
}

void ModelRun::EditPanel() {
    Ui::TForm1& f = *window->form();
    const int n = 1 + Pick(3);
    for (int i = 0; i < n; ++i) {
        const int slot = Pick(10);
        if (slot == 9) {
            const auto [typed, value] = NewRating();
            Log("type rating '" + typed.toStdString() + "'");
            TypeKeys(f.hodnocenispin, typed);
            rating_ = value;
            continue;
        }
        Text t = NewText(slot < 2);
        if (Chance(10)) t = Text{};
        Log("edit field " + std::to_string(slot) + " " + Describe(Value(t.bytes)));
        panel_[slot] = t.shown;
        switch (slot) {
        case 0: f.autorcb->setEditText(t.shown); break;
        case 1: f.titulle->setText(t.shown); break;
        case 2: f.zanrcb->setEditText(t.shown); break;
        case 3: f.vydalcb->setEditText(t.shown); break;
        case 4: f.seriele->setText(t.shown); break;
        case 5: f.umistenicb->setEditText(t.shown); break;
        case 6: f.zapujcenokomucb->setEditText(t.shown); break;
        case 7: f.zapujcenokdyle->setText(t.shown); break;
        case 8: f.poznamkale->setText(t.shown); break;
        }
    }
}

bool ModelRun::Fits(const QString& text, std::string* bytes) {
    // Reverse of the generator's table; nothing else is ever typed.
    bytes->clear();
    for (QChar c : text) {
        bool found = false;
        for (const auto& [b, ch] : Decoding())
            if (ch == c) {
                *bytes += static_cast<char>(b);
                found = true;
                break;
            }
        if (!found) return false;
    }
    return true;
}

void ModelRun::Save() {
    Log("save");
    QTest::mouseClick(window->form()->ulozitb, Qt::LeftButton);
    if (panel_[0].isEmpty() || panel_[1].isEmpty()) return;
    if (!shown_) {
        expectedBoxes_.push_back({Kind::Information, QString::fromUtf8(kNoRecord)});
        ++stats["saves without a record"];
        return;
    }
    std::string bytes[9];
    bool keep[9];
    for (int s = 0; s < 9; ++s) {
        keep[s] = !cut_[s].isNull() && panel_[s] == cut_[s];
        if (!keep[s] && !Fits(panel_[s], &bytes[s])) {
            ++stats["saves refused"];
            expectedBoxes_.push_back({Kind::Error, {}});
            return;
        }
    }
    for (Row& r : current_->rows) {
        if (r[0] != Value(panelId_)) continue;
        for (int s = 0; s < 9; ++s)
            if (!keep[s]) r[kPanelColumns[s]] = bytes[s];
        r[9] = static_cast<long long>(rating_);
    }
    for (int s = 0; s < 9; ++s)
        if (!cut_[s].isNull() && panel_[s] != cut_[s]) cut_[s] = QString();
    ++stats["saves stored"];
    changed_ = true;
    if (std::count(keep, keep + 9, true) > 0) ++stats["saves keeping a long text"];
    Rebuild();
}

void ModelRun::Delete() {
    Log("delete");
    QTest::mouseClick(window->form()->smazatb, Qt::LeftButton);
    if (!panel_[0].isEmpty() && !panel_[1].isEmpty()) {
        if (shown_) {
            ++stats["deletes"];
            changed_ = true;
            auto& rows = current_->rows;
            rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const Row& r) { return r[0] == Value(panelId_); }),
                       rows.end());
        } else {
            expectedBoxes_.push_back({Kind::Information, QString::fromUtf8(kNoRecord)});
        }
    }
    EmptyPanel();
    Rebuild();
}

void ModelRun::Search() {
    QString needle;
    const int r = Pick(10);
    if (r < 5 && !tree_.empty()) {
        // A piece of a shown author or title, in another case now and then.
        const ExpectedAuthor& a = tree_[Pick(static_cast<int>(tree_.size()))];
        QString source = a.shown;
        if (!a.titles.empty() && Chance(60)) source = Shown(a.titles[Pick(static_cast<int>(a.titles.size()))]);
        const int from = source.isEmpty() ? 0 : Pick(static_cast<int>(source.size()));
        needle = source.mid(from, 1 + Pick(6));
        if (Chance(30)) needle = needle.toUpper();
    } else if (r < 8) {
        needle = NewText(false).shown;
    }
    const bool cancel = Chance(10);
    Log("search '" + needle.toStdString() + "'" + (cancel ? " cancelled" : ""));
    ui.QueueInput(cancel ? std::nullopt : std::optional<QString>(needle));
    const size_t asked = ui.inputs.size();
    Activate(window.get());
    Tree().setFocus();
    QTest::keyClick(&Tree(), Qt::Key_F3);
    if (ui.inputs.size() != asked + 1) {
        ADD_FAILURE() << "F3 did not ask for a search text";
        ui.inputAnswers.clear();
    }
    if (cancel) return;
    ++stats["searches"];
    needle.truncate(255);
    const QString lower = needle.toLower();
    int nodes = 0;
    for (ExpectedAuthor& a : tree_) {
        nodes += 1 + static_cast<int>(a.titles.size());
        bool match = false;
        if (!lower.isEmpty()) {
            match = a.shown.toLower().contains(lower);
            for (const std::string& t : a.titles) match = match || Shown(t).toLower().contains(lower);
        }
        a.expanded = match;
    }
    const int n = static_cast<int>(tree_.size());
    if (selAuthor_ < 0 || n < 2) {
        selAuthor_ = -1;
    } else {
        const int toLast = n - 1 - selAuthor_;
        selAuthor_ = (nodes - toLast) % 2 == 0 ? n - 1 : n - 2;
    }
    selTitle_ = -1;
}

void ModelRun::Switch() {
    const int r = Pick(10);
    if (r == 0) {
        Log("switch cancelled");
        ui.QueueFile(std::nullopt);
        window->form()->otevrit->trigger();
        return;
    }
    Catalogue* target = current_ == &def_ ? &other_ : &def_;
    const bool bad = r == 1;
    const std::string path = bad ? notCatalogue_ : target->path;
    Log("switch to " + path);
    ui.QueueFile(QString::fromStdString(path));
    window->form()->otevrit->trigger();
    ++stats[bad ? "switches to a non-catalogue" : "switches"];
    if (bad) {
        expectedBoxes_.push_back({Kind::Plain, "pripojeni k db selhalo"});
        // Then why, in Czech.
        expectedBoxes_.push_back({Kind::Error, QString::fromUtf8("Soubor není katalog (není to databáze SQLite).")});
        current_ = &def_;
        remembered_ = "svazkovna.db";
    } else {
        current_ = target;
        remembered_ = path;
    }
    EmptyPanel();
    Rebuild();
}

void ModelRun::Restart() {
    Log("close and start again");
    ++stats["restarts"];
    window->close();
    if (window->isVisible()) ADD_FAILURE() << "the window did not close";
    window.reset();
    editf = nullptr;
    Form1 = nullptr;
    // The key's raw bytes, as the program wrote them.
    std::string written = "<absent>";
    std::istringstream ini(ReadFile(exeDir.file("nastav.ini")));
    for (std::string line; std::getline(ini, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("databaze=", 0) == 0) written = line.substr(9);
    }
    if (written != remembered_) ADD_FAILURE() << "databaze=" << written << ", expected " << remembered_;
    OpenWindow();
    StartState();
}

}  // namespace testsupport::model
