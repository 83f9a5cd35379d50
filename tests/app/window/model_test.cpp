// Model-based test: random, seeded sequences of what a user does through the
// real window (new books through the dialog, clicks in the tree, edits and
// saves in the panel, deletes, searches, switching catalogues, closing and
// starting again). Beside the window runs a model of the table and of what
// the window shows; after every step the catalogue file, read with the system's
// SQLite library, must equal the model byte for byte, and the tree, the panel
// and the messages must be what the model predicts.
//
// Replay: SVAZKOVNA_MODEL_SEED=<seed> [SVAZKOVNA_MODEL_STEPS=<n>] model_test
//         --gtest_filter=ModelTest.Replay
#include <QApplication>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cstdlib>

#include "app/window/edit_dialog.h"
#include "app/window/tree_node.h"
#include "support/app_catalogue_rows.h"
#include "support/app_window_fixture.h"
#include "model_run.h"
#include "ui_edit_dialog.h"
#include "ui_main_window.h"

namespace testsupport {
namespace {

using model::ModelRun;

// Found by the model run (seed 1083593036, step 1731): a drop-down whose list
// holds the typed text in another case must keep the text as typed when the
// focus leaves it, in the dialog and in the panel.
class TypedCaseTest : public WindowFixture {};

TEST_F(TypedCaseTest, LeavingADropDownKeepsTheTypedCase) {
    Row seed;
    seed[0] = 1LL;
    seed[1] = std::string("\x9E");  // "ž"
    seed[2] = std::string("Kniha");
    seed[3] = std::string("sci-fi");
    for (int c : {4, 5, 6, 7, 8, 10, 11, 12, 13}) seed[c] = std::string();
    seed[9] = 3LL;
    WriteCatalogue(CataloguePath(), {seed});
    OpenWindow();
    ui.QueueDialog([](QDialog& d) {
        QApplication::setActiveWindow(&d);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        Ui::Teditf& e = *static_cast<Teditf&>(d).form();
        e.autorcb->setFocus();
        e.autorcb->setEditText(QString::fromUtf8("Ž"));
        e.titulle->setFocus();
        e.titulle->setText("Nova");
        QTest::mouseClick(e.ulozitb, Qt::LeftButton);
    });
    window->form()->novyzaznam->trigger();

    Ui::TForm1& f = *window->form();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTreeWidgetItem* lower =
        Tree().findItems(QString::fromUtf8("ž"), Qt::MatchExactly | Qt::MatchCaseSensitive).value(0);
    ASSERT_NE(lower, nullptr);
    ClickItem(Tree(), TitleNode(*lower, 0));
    f.zanrcb->setFocus();
    f.zanrcb->setEditText("SCI-FI");
    f.titulle->setFocus();
    QTest::mouseClick(f.ulozitb, Qt::LeftButton);

    const std::vector<Row> rows = ReadAllRows(CataloguePath());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Describe(rows[1][1]), Describe(Value(std::string("\x8E")))) << "the dialog's author";
    EXPECT_EQ(Describe(rows[0][3]), Describe(Value(std::string("SCI-FI")))) << "the panel's genre";
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

void RunSeed(unsigned seed, int steps) {
    const auto start = std::chrono::steady_clock::now();
    bool ok = false;
    std::string counts;
    {
        ModelRun run(seed);
        ok = run.Run(steps);
        for (const auto& [what, n] : run.stats) counts += " " + what + " " + std::to_string(n) + ";";
        // The property above holds vacuously unless changes were followed in place.
        if (ok && steps >= 200) {
            EXPECT_GT(run.stats["trees updated in place"], 0);
        }
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("model seed %u: %d steps %s in %.1f s;%s\n", seed, steps, ok ? "passed" : "FAILED", s, counts.c_str());
}

constexpr int kSteps = 500;

TEST(ModelTest, Seed1) { RunSeed(1, EnvInt("SVAZKOVNA_MODEL_STEPS", kSteps)); }
TEST(ModelTest, Seed2) { RunSeed(2, EnvInt("SVAZKOVNA_MODEL_STEPS", kSteps)); }
TEST(ModelTest, Seed3) { RunSeed(3, EnvInt("SVAZKOVNA_MODEL_STEPS", kSteps)); }
TEST(ModelTest, Seed4) { RunSeed(4, EnvInt("SVAZKOVNA_MODEL_STEPS", kSteps)); }

// Runs the seed of SVAZKOVNA_MODEL_SEED (skipped without it).
TEST(ModelTest, Replay) {
    const char* seed = std::getenv("SVAZKOVNA_MODEL_SEED");
    if (!seed || !*seed) GTEST_SKIP() << "SVAZKOVNA_MODEL_SEED is not set";
    RunSeed(static_cast<unsigned>(std::strtoul(seed, nullptr, 10)), EnvInt("SVAZKOVNA_MODEL_STEPS", kSteps));
}

}  // namespace
}  // namespace testsupport
