// The model run's checks: the file, the tree, the panel and the boxes against the model.
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
#include "app/platform/catalogue_session.h"
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

bool ModelRun::Fail(const std::string& what) {
    std::ostringstream out;
    out << "seed " << seed_ << " step " << step_ << ": " << what << "\nreplay: SVAZKOVNA_MODEL_SEED=" << seed_
        << " SVAZKOVNA_MODEL_STEPS=" << step_ << " model_test --gtest_filter=ModelTest.Replay\nlast steps:";
    for (const auto& l : log_) out << "\n  " << l;
    ADD_FAILURE() << out.str();
    return false;
}

bool ModelRun::CheckRows(Catalogue& c) {
    std::vector<Row> actual;
    try {
        actual = ReadAllRows(c.path);
    } catch (const std::exception& e) {
        return Fail(c.path + " cannot be read: " + e.what());
    }
    // A save that finishes a loan keeps it in udaj3 (tested on its own): the
    // model takes the lines it appends to our form, and a foreign udaj3 must
    // stay as it was.
    if (actual.size() == c.rows.size())
        for (size_t i = 0; i < actual.size(); ++i) {
            const std::string was = TextOf(c.rows[i][13]);
            const auto* now = std::get_if<std::string>(&actual[i][13]);
            if (now && *now != was && (was.empty() || was.rfind("#vypujcka\t", 0) == 0) && now->rfind(was, 0) == 0 &&
                now->compare(was.size(), 10, "#vypujcka\t") == 0)
                c.rows[i][13] = *now;
        }
    if (actual == c.rows) return true;
    std::string diff = c.path + " differs from the model: " + std::to_string(actual.size()) + " rows, model " +
                       std::to_string(c.rows.size());
    for (size_t i = 0; i < std::max(actual.size(), c.rows.size()); ++i) {
        const std::string a = i < actual.size() ? Describe(actual[i]) : "<none>";
        const std::string m = i < c.rows.size() ? Describe(c.rows[i]) : "<none>";
        if (a != m) diff += "\n  row " + std::to_string(i) + " file  " + a + "\n         model " + m;
    }
    return Fail(diff);
}

std::string ModelRun::Dump(QTreeWidget& tree) {
    std::ostringstream out;
    for (int a = 0; a < tree.topLevelItemCount(); ++a) {
        QTreeWidgetItem* author = tree.topLevelItem(a);
        out << "A [" << NodeBytes(*author) << "]" << (author->isExpanded() ? " +" : "")
            << (author->isSelected() ? " *" : "") << "\n";
        for (int t = 0; t < AsTreeNode(*author).TitleCount(); ++t) {
            TreeNode& title = AsTreeNode(*TitleNode(*author, t));
            out << "  T [" << NodeBytes(title) << "] #" << title.RowKey() << (title.WholeTitle() ? "" : " cut")
                << (title.isSelected() ? " *" : "") << "\n";
        }
    }
    out << "current " << (tree.currentItem() ? NodeBytes(*tree.currentItem()) : "-") << "\n";
    return out.str();
}

QStringList ModelRun::DistinctValues(const char* column) {
    TASQLite3Query q("distinct");
    q.SetConnection(&window->con1);
    q.SQL().Add(std::string("select distinct ") + column + " from svazkovna order by " + column);
    q.Open();
    QStringList values;
    q.First();
    for (int i = 0, n = q.RecordCount(); i < n; ++i, q.Next()) values << FromCodePage(q.Fields(0).AsString());
    return values;
}

bool ModelRun::CheckAgainstRebuild() {
    if (!changed_) return true;
    changed_ = false;
    if (!rebuilt_) ++stats["trees updated in place"];
    // The drop-down lists carried along by the change are the lists read anew.
    const std::pair<ValueLists::Column, const char*> lists[] = {{ValueLists::Autor, "autor"},
                                                                {ValueLists::Zanr, "zanr"},
                                                                {ValueLists::Umisteni, "umisteni"},
                                                                {ValueLists::Zapujcenokomu, "zapujcenokomu"},
                                                                {ValueLists::Vydal, "vydal"}};
    for (const auto& [list, column] : lists) {
        QComboBox box;
        box.setEditable(true);
        window->session().Lists().Fill(list, box);
        QStringList shown;
        for (int i = 0; i < box.count(); ++i) shown << box.itemText(i);
        const QStringList expected = DistinctValues(column);
        if (shown != expected)
            return Fail(std::string("the list of ") + column + " differs: " + shown.join('|').toStdString() +
                        " instead of " + expected.join('|').toStdString());
    }
    const std::string kept = Dump(Tree());
    window->tv1update();
    const std::string rebuilt = Dump(Tree());
    if (kept == rebuilt) return true;
    return Fail("the tree " + std::string(rebuilt_ ? "rebuilt" : "updated in place") + " differs from a rebuild:\n" +
                kept + "--- rebuilt:\n" + rebuilt);
}

bool ModelRun::Check(size_t boxesBefore) {
    if (::testing::Test::HasFailure()) return Fail("see above");
    if (!CheckRows(def_) || !CheckRows(other_)) return false;

    // Messages of this step.
    // The notice that a finished loan could not be kept beside foreign text
    // in udaj3 comes once per book and run; its own tests count it.
    std::vector<ScriptedUi::Box> boxes;
    for (auto b = ui.boxes.begin() + static_cast<long>(boxesBefore); b != ui.boxes.end(); ++b)
        if (!b->text.startsWith(QString::fromUtf8(kHistoryNotKept))) boxes.push_back(*b);
    bool same = boxes.size() == expectedBoxes_.size();
    for (size_t i = 0; same && i < boxes.size(); ++i)
        same = boxes[i].kind == expectedBoxes_[i].first &&
               (expectedBoxes_[i].second.isEmpty() || boxes[i].text == expectedBoxes_[i].second);
    if (!same) {
        std::string got;
        for (const auto& b : boxes)
            got += " [" + std::to_string(static_cast<int>(b.kind)) + " " + b.text.toStdString() + "]";
        return Fail("messages:" + got + " expected " + std::to_string(expectedBoxes_.size()));
    }

    // The tree.
    const QTreeWidget& tree = Tree();
    std::ostringstream diff;
    if (tree.topLevelItemCount() != static_cast<int>(tree_.size()))
        diff << "authors " << tree.topLevelItemCount() << ", model " << tree_.size() << "\n";
    for (int i = 0; i < std::min<int>(tree.topLevelItemCount(), static_cast<int>(tree_.size())); ++i) {
        const auto* a = static_cast<const TreeNode*>(tree.topLevelItem(i));
        const ExpectedAuthor& m = tree_[i];
        if (a->text(0) != m.shown || a->isExpanded() != m.expanded ||
            a->TitleCount() != static_cast<int>(m.titles.size())) {
            diff << "author " << i << " '" << a->text(0).toStdString() << "' (" << a->TitleCount()
                 << (a->isExpanded() ? ", expanded" : "") << "), model '" << m.shown.toStdString() << "' ("
                 << m.titles.size() << (m.expanded ? ", expanded" : "") << ")\n";
            continue;
        }
        for (int t = 0; t < a->TitleCount(); ++t)
            if (a->TitleText(t) != Shown(m.titles[t]))
                diff << "title " << i << "/" << t << " '" << a->TitleText(t).toStdString() << "'\n";
    }
    const auto selected = tree.selectedItems();
    int sa = -1, st = -1;
    if (!selected.isEmpty()) {
        const QTreeWidgetItem* s = selected.first();
        if (s->parent()) {
            st = s->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(s));
            s = s->parent();
        }
        sa = tree.indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(s));
    }
    if (sa != selAuthor_ || st != selTitle_)
        diff << "selected " << sa << "/" << st << ", model " << selAuthor_ << "/" << selTitle_ << "\n";

    // The panel.
    const Ui::TForm1& f = *window->form();
    const QString shown[9] = {f.autorcb->currentText(),         f.titulle->text(),        f.zanrcb->currentText(),
                              f.vydalcb->currentText(),         f.seriele->text(),        f.umistenicb->currentText(),
                              f.zapujcenokomucb->currentText(), f.zapujcenokdyle->text(), f.poznamkale->text()};
    for (int s = 0; s < 9; ++s)
        if (shown[s] != panel_[s])
            diff << "panel field " << s << " '" << shown[s].toStdString() << "', model '" << panel_[s].toStdString()
                 << "'\n";
    // A rating still being typed is brought into range only when the field is left.
    if (std::clamp(f.hodnocenispin->Value(), 1, 5) != rating_)
        diff << "rating " << f.hodnocenispin->Value() << ", model " << rating_ << "\n";
    if (shown_ && f.idspin->Value() != panelId_) diff << "id " << f.idspin->Value() << ", model " << panelId_ << "\n";
    if (!diff.str().empty()) return Fail(diff.str());
    return true;
}

}  // namespace testsupport::model
