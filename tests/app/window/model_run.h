#pragma once
// The model behind model_test: random, seeded user steps through the real
// window, and beside them a model of the table and of what the window shows,
// compared after every step.
#include <QString>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/app_catalogue_rows.h"
#include "support/app_window_fixture.h"

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace testsupport::model {

using Kind = ScriptedUi::BoxKind;

inline constexpr const char* kNoRecord = "Není zobrazen žádný záznam: nejprve klepněte na titul ve stromu.";
constexpr size_t kCut = 255;  // bytes of a text the queries deliver

// A typed text and, when the code page holds every character, its stored bytes.
struct Text {
    QString shown;
    std::string bytes;
    bool fits = true;
};

// The shown character of every byte the generator stores.
const std::map<unsigned char, QChar>& Decoding();
QString Shown(const std::string& bytes);
std::string Cut(const std::string& bytes);
// The text of a value; empty for NULL or an integer.
std::string TextOf(const Value& v);

// Column of each panel text field, in the order the save writes them.
inline constexpr int kPanelColumns[9] = {1, 2, 3, 4, 5, 6, 7, 8, 10};

struct Catalogue {
    std::string path;
    std::vector<Row> rows;
};

struct ExpectedAuthor {
    std::string bytes;  // full stored author
    QString shown;
    std::vector<std::string> titles;  // node bytes (cut) in storage order
    bool expanded = false;
};

class ModelRun : public WindowFixture {
public:
    explicit ModelRun(unsigned seed) : seed_(seed), rng_(seed) {}
    void TestBody() override {}

    // Runs `steps` steps; returns false at the first difference (already reported).
    bool Run(int steps);

private:
    // ---------------------------------------------------------------- set-up
    void Prepare();

    // Rows as another program might have left them: NULLs and spare columns in use.
    std::vector<Row> SeedRows(int n);

    // The window just created: empty panel, fresh tree.
    void StartState();

    // ---------------------------------------------------------------- randomness
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool Chance(int percent) { return Pick(100) < percent; }
    Text FromPieces(int count);
    Text Sized(size_t size);

    // `key`: an author or a title, which are reused more often to make namesakes.
    Text NewText(bool key);

    // A rating as typed, and the value it stands for once the field is left.
    std::pair<QString, int> NewRating();

    // ---------------------------------------------------------------- model of the window
    void EmptyPanel();

    // What the rebuild shows: authors in the locale order (the query's byte
    // order reversed before a stable sort), titles in storage order.
    void Rebuild();
    int NextId() const;

    // ---------------------------------------------------------------- steps
    void DoRandomStep();
    void Log(const std::string& what);

    // Keys reach only the active window; a closed dialog leaves none active.
    void Activate(QWidget* w);
    void TypeKeys(QWidget* field, const QString& text);
    void AddBook();
    QTreeWidgetItem* Node(int author, int title) const;
    void ClickTitle();
    void ClickAuthor();
    void EditPanel();
    static bool Fits(const QString& text, std::string* bytes);
    void Save();
    void Delete();
    void Search();
    void Switch();
    void Restart();

    // ---------------------------------------------------------------- checks
    bool Fail(const std::string& what);
    bool CheckRows(Catalogue& c);

    // The tree as data: every node's stored bytes, and for a title the row a
    // click shows and whether its text is the whole title; which nodes are
    // expanded, selected and current.
    static std::string Dump(QTreeWidget& tree);

    // After a save, a delete or a new book the tree follows the change in place
    // where it can: a full rebuild right after must show exactly the same.
    // Every distinct value of a column as the specified list statement gives it.
    QStringList DistinctValues(const char* column);
    bool CheckAgainstRebuild();
    bool Check(size_t boxesBefore);

public:
    std::map<std::string, int> stats;

private:
    unsigned seed_;
    std::mt19937 rng_;
    int step_ = 0;
    bool changed_ = false;  // the step changed the catalogue
    bool rebuilt_ = false;  // the step rebuilt the tree
    Catalogue def_, other_;
    Catalogue* current_ = nullptr;
    std::string notCatalogue_;
    std::string remembered_;
    std::vector<Text> pool_;
    std::deque<std::string> log_;
    std::vector<std::pair<Kind, QString>> expectedBoxes_;
    // The window as the model sees it.
    std::vector<ExpectedAuthor> tree_;
    int selAuthor_ = -1, selTitle_ = -1;
    QString panel_[9];
    QString cut_[9];  // per field: the text shown when it was a cut 255 bytes
    int rating_ = 3;
    long long panelId_ = 0;
    bool shown_ = false;
};

}  // namespace testsupport::model
