// The model run: its set-up, its random texts and the model of the window.
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

namespace {

struct Piece {
    const char* utf8;
    const char* bytes;  // nullptr: outside the code page
};

// Pieces chosen to break statement building, parameter scanning and the code page.
// clang-format off
const Piece kPieces[] = {
    {"'", "'"}, {"''", "''"}, {"\"", "\""}, {": jmeno", ": jmeno"}, {":a", ":a"}, {"?", "?"},
    {"?1", "?1"}, {"\\", "\\"}, {";", ";"}, {"%", "%"}, {"_", "_"}, {"--", "--"}, {"/*", "/*"},
    {"'; drop table svazkovna; --", "'; drop table svazkovna; --"}, {"\x02", "\x02"},
    {"\x01", "\x01"}, {"\t", "\t"}, {"\x1f", "\x1f"}, {" ", " "}, {"  ", "  "}, {"NULL", "NULL"},
    {"select", "select"}, {"42", "42"}, {"Kniha", "Kniha"}, {"zima", "zima"}, {"Jaro", "Jaro"},
    {"Zahrada", "Zahrada"}, {"abc", "abc"}, {"ABC", "ABC"}, {"č", "\xE8"}, {"Č", "\xC8"},
    {"ř", "\xF8"}, {"Ř", "\xD8"}, {"š", "\x9A"}, {"Š", "\x8A"}, {"ž", "\x9E"}, {"Ž", "\x8E"},
    {"ů", "\xF9"}, {"ú", "\xFA"}, {"ý", "\xFD"}, {"á", "\xE1"}, {"Á", "\xC1"}, {"í", "\xED"},
    {"é", "\xE9"}, {"ě", "\xEC"}, {"ď", "\xEF"}, {"ť", "\x9D"}, {"ň", "\xF2"}, {"ó", "\xF3"},
    {"€", "\x80"}, {"„", "\x84"}, {"“", "\x93"}, {"Čtvrtek", "\xC8tvrtek"}, {"Ábel", "\xC1" "bel"},
};
// clang-format on
const char* const kForeign[] = {"日本", "☃", "😀", "Ω"};

}  // namespace

const std::map<unsigned char, QChar>& Decoding() {
    static const std::map<unsigned char, QChar> table = [] {
        std::map<unsigned char, QChar> t;
        for (int b = 0; b < 128; ++b) t[static_cast<unsigned char>(b)] = QChar(b);
        for (const Piece& p : kPieces) {
            const QString s = QString::fromUtf8(p.utf8);
            const std::string bytes = p.bytes;
            if (s.size() == static_cast<qsizetype>(bytes.size()))
                for (size_t i = 0; i < bytes.size(); ++i) t[static_cast<unsigned char>(bytes[i])] = s[i];
        }
        return t;
    }();
    return table;
}

QString Shown(const std::string& bytes) {
    QString s;
    for (unsigned char c : bytes) {
        const auto found = Decoding().find(c);
        if (found == Decoding().end()) throw std::runtime_error("model holds a byte it cannot show");
        s += found->second;
    }
    return s;
}

std::string Cut(const std::string& bytes) { return bytes.substr(0, std::min(bytes.size(), kCut)); }

std::string TextOf(const Value& v) {
    const auto* s = std::get_if<std::string>(&v);
    return s ? *s : std::string();
}

bool ModelRun::Run(int steps) {
    Prepare();
    for (step_ = 1; step_ <= steps; ++step_) {
        const size_t boxesBefore = ui.boxes.size();
        expectedBoxes_.clear();
        // A full rebuild empties the tree's model; an update in place does not.
        rebuilt_ = false;
        const auto rebuilds =
            QObject::connect(Tree().model(), &QAbstractItemModel::modelReset, [this] { rebuilt_ = true; });
        DoRandomStep();
        QObject::disconnect(rebuilds);
        if (!Check(boxesBefore) || !CheckAgainstRebuild()) return false;
    }
    return true;
}

void ModelRun::Prepare() {
    other_.path = startDir.file("jiná složka/druhá.db");
    QDir().mkpath(QString::fromUtf8(startDir.file("jiná složka")));
    notCatalogue_ = startDir.file("poznamky.txt");
    QFile f(QString::fromUtf8(notCatalogue_));
    f.open(QIODevice::WriteOnly);
    f.write("toto neni katalog\n");
    f.close();

    def_.path = CataloguePath();
    def_.rows = SeedRows(1 + Pick(6));
    other_.rows = SeedRows(Pick(4));
    WriteCatalogue(def_.path, def_.rows);
    WriteCatalogue(other_.path, other_.rows);
    current_ = &def_;
    remembered_ = "svazkovna.db";
    OpenWindow();
    StartState();
}

std::vector<Row> ModelRun::SeedRows(int n) {
    std::vector<Row> rows;
    for (int i = 0; i < n; ++i) {
        Row r;
        r[0] = static_cast<long long>(i == 0 ? 100000 + Pick(3) : i + 1);
        for (int c : kPanelColumns) {
            Text t = NewText(c == 1 || c == 2);
            r[c] = t.bytes;
        }
        r[9] = static_cast<long long>(Pick(7));  // 0..6: out of range on purpose
        for (int c = 11; c < 14; ++c) r[c] = std::string(Chance(50) ? "spare" : "");
        if (Chance(30)) r[3] = Null{};
        if (Chance(20)) r[9] = Null{};
        if (Chance(20)) r[12] = Null{};
        rows.push_back(r);
    }
    return rows;
}

void ModelRun::StartState() {
    EmptyPanel();
    panelId_ = 0;
    Rebuild();
}

Text ModelRun::FromPieces(int count) {
    Text t;
    for (int i = 0; i < count; ++i) {
        const Piece& p = kPieces[Pick(std::size(kPieces))];
        t.shown += QString::fromUtf8(p.utf8);
        t.bytes += p.bytes;
    }
    return t;
}

Text ModelRun::Sized(size_t size) {
    Text t = FromPieces(3);
    while (t.bytes.size() < size) {
        t.bytes += 'x';
        t.shown += u'x';
    }
    t.bytes.resize(size);
    t.shown.truncate(static_cast<qsizetype>(size));
    return t;
}

Text ModelRun::NewText(bool key) {
    if (key && !pool_.empty() && Chance(45)) return pool_[Pick(static_cast<int>(pool_.size()))];
    Text t;
    const int r = Pick(100);
    if (r < 8)
        t = Text{};
    else if (r < 14)
        t = Sized(255);
    else if (r < 17)
        t = Sized(254);
    else if (r < 24)
        t = Sized(256 + Pick(45));
    else
        t = FromPieces(1 + Pick(4));
    if (Chance(2)) {
        t.shown.insert(Pick(static_cast<int>(t.shown.size()) + 1),
                       QString::fromUtf8(kForeign[Pick(std::size(kForeign))]));
        t.fits = false;
    }
    if (t.fits && !t.bytes.empty() && pool_.size() < 40) pool_.push_back(t);
    return t;
}

std::pair<QString, int> ModelRun::NewRating() {
    static const char* const typed[] = {"1", "2", "3", "4", "5", "0", "9", "", "-", "-3", "+4", "12"};
    const QString s = typed[Pick(std::size(typed))];
    bool ok = false;
    int v = s.toInt(&ok);
    if (!ok) v = 1;
    return {s, std::clamp(v, 1, 5)};
}

void ModelRun::EmptyPanel() {
    for (auto& t : panel_) t = QString();
    for (auto& c : cut_) c = QString();
    rating_ = 3;
    shown_ = false;
}

void ModelRun::Rebuild() {
    std::vector<std::string> authors;
    for (const Row& r : current_->rows) authors.push_back(TextOf(r[1]));
    std::sort(authors.begin(), authors.end());
    authors.erase(std::unique(authors.begin(), authors.end()), authors.end());
    std::vector<ExpectedAuthor> entries;
    for (auto a = authors.rbegin(); a != authors.rend(); ++a) {
        ExpectedAuthor e{*a, Shown(Cut(*a)), {}, false};
        if (a->size() <= kCut)
            for (const Row& r : current_->rows)
                if (std::holds_alternative<std::string>(r[1]) && TextOf(r[1]) == *a &&
                    std::holds_alternative<std::string>(r[2]))
                    e.titles.push_back(Cut(TextOf(r[2])));
        entries.push_back(std::move(e));
    }
    const std::string selected = entries.empty() ? std::string() : entries.front().bytes;
    // Sort keys, not pairwise comparison: texts the locale finds equal (control
    // characters are ignored) must keep the query's reversed order, and the
    // pairwise comparison does not always agree with the keys on those.
    const LocaleOrder order;
    std::vector<QCollatorSortKey> keys;
    for (const auto& e : entries) keys.push_back(order.SortKey(e.shown));
    std::vector<size_t> index(entries.size());
    for (size_t i = 0; i < index.size(); ++i) index[i] = i;
    std::stable_sort(index.begin(), index.end(), [&](size_t x, size_t y) { return keys[x].compare(keys[y]) < 0; });
    std::vector<ExpectedAuthor> sorted;
    for (size_t i : index) sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
    tree_ = std::move(entries);
    selAuthor_ = selTitle_ = -1;
    for (size_t i = 0; i < tree_.size(); ++i)
        if (tree_[i].bytes == selected) selAuthor_ = static_cast<int>(i);
}

int ModelRun::NextId() const {
    long long max = 0;
    bool any = false;
    for (const Row& r : current_->rows)
        if (const auto* id = std::get_if<long long>(&r[0])) {
            max = any ? std::max(max, *id) : *id;
            any = true;
        }
    return any ? static_cast<int>(max + 1) : 1;
}

}  // namespace testsupport::model
