// Safekeeping beside other threads and other copies of the program: the side
// check on opening, backups written at the same time, and what an interrupted
// run leaves behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

#include "app/platform/catalogue_session.h"
#include "app/safekeeping/backup_files.h"
#include "app/safekeeping/catalogue_backup.h"
#include "catalogue/template_db.h"
#include "storage/connection.h"
#include "support/app_scripted_ui.h"
#include "support/app_window_fixture.h"
#include "support/sql_rows.h"
#include "support/temp_dir.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Opened = CatalogueBackup::Opened;

const char* const kBackupName = "2026-01-01_00-00-00-000Z.db";

size_t OpenHandles() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

ino_t InodeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

class BackupRaceTest : public ::testing::Test {
protected:
    std::string Catalogue() const { return dir.file("svazkovna.db"); }
    std::string Folder() const { return Catalogue() + ".zalohy"; }
    std::function<QString()> Settings() const {
        return [this] { return QString::fromStdString(dir.file("nastav.ini")); };
    }
    static std::string SoundBytes() {
        const TempDir scratch;
        EXPECT_TRUE(WriteTemplateCatalogue(scratch.file("k.db")));
        return ReadFile(scratch.file("k.db"));
    }
    // A catalogue large enough for a backup to report progress, and a connection on it.
    void MakeCatalogue(TASQLite3DB& con) {
        ASSERT_TRUE(WriteTemplateCatalogue(Catalogue()));
        ExecSql(Catalogue(),
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                "INSERT INTO svazkovna(id, autor, titul) SELECT i, 'Autor', printf('Titul %0200d', i) "
                "FROM n");
        con.SetDatabase(Catalogue());
        con.SetConnected(true);
    }
    TempDir dir;
};

// Steps a backup's progress; the first step runs `first`.
struct SteppingProgress : Progress {
    explicit SteppingProgress(std::function<void()> f) : first(std::move(f)) {}
    bool Step(long long) override {
        if (first) std::exchange(first, {})();
        return true;
    }
    std::function<void()> first;
};

// Whatever the opening decides about a damaged catalogue (restore it, refuse
// it, keep it for reading), the check beside it has finished first: nothing
// replaces the file or lets go of the engine under it. The slowed check sees
// the file it started on; the caller switches catalogues right afterwards.
TEST_F(BackupRaceTest, OpeningADamagedCatalogueWaitsForTheSideCheck) {
    const std::string sound = SoundBytes();
    struct Case {
        const char* name;
        std::string bytes;
        bool backup;
        bool agree;
        bool lastResort;
        std::optional<Opened> outcome;  // none: the opening is refused
    };
    const Case cases[] = {
        {"empty, restored", "", true, true, false, Opened::Restored},
        {"empty, declined", "", true, false, false, std::nullopt},
        {"empty, no backup, read only", "", false, false, true, Opened::ReadOnly},
        {"no header, restored", std::string(8192, 'x'), true, true, true, Opened::Restored},
        {"no header, declined, read only", std::string(8192, 'x'), true, false, true, Opened::ReadOnly},
    };
    for (int round = 0; round < 8; ++round) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", round " + std::to_string(round));
            fs::remove_all(Folder());
            WriteFile(Catalogue(), c.bytes);
            if (c.backup) {
                fs::create_directory(Folder());
                WriteFile(fs::path(Folder()) / kBackupName, sound);
            }
            TASQLite3DB con;
            con.SetDatabase(Catalogue());
            con.SetConnected(true);
            ScriptedUi ui;
            ui.QueueQuestion(c.agree);
            std::atomic<bool> touched{false};
            {
                CatalogueBackup backups(con, ui, Settings());
                const ino_t opened = InodeOf(Catalogue());
                backups.beforeSideCheck = [&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(40));
                    if (InodeOf(Catalogue()) != opened) touched = true;
                };
                backups.CheckAside();
                std::optional<Opened> outcome;
                try {
                    outcome = backups.CheckOpened(c.lastResort);
                } catch (const CatalogueDamaged&) {}
                EXPECT_EQ(outcome, c.outcome);
                // What the window does next: another catalogue in the same place.
                con.SetConnected(false);
                WriteFile(Catalogue() + ".jiny", sound);
                fs::rename(Catalogue() + ".jiny", Catalogue());
            }
            EXPECT_FALSE(touched) << "the file was replaced while the side check read it";
            EXPECT_EQ(ui.boxes.size(), 1u);
        }
    }
}

// Two copies of the program back the same catalogue up at once: the second
// one's clean-up of unfinished backups leaves the first one's part alone, and
// both backups are made.
TEST_F(BackupRaceTest, TwoCopiesBackingUpAtOnceBothGetTheirBackup) {
    TASQLite3DB first;
    MakeCatalogue(first);
    TASQLite3DB second;
    second.SetDatabase(Catalogue());
    second.SetConnected(true);
    ScriptedUi firstUi, secondUi;
    CatalogueBackup a(first, firstUi, Settings());
    CatalogueBackup b(second, secondUi, Settings());
    bool secondMade = false;
    a.progressInterval = std::chrono::milliseconds(0);
    a.progressFactory = [&](const QString&) {
        return std::make_unique<SteppingProgress>([&] { secondMade = b.BackupNow(); });
    };
    EXPECT_TRUE(a.BackupNow());
    EXPECT_TRUE(secondMade);
    for (const ScriptedUi* ui : {&firstUi, &secondUi}) {
        ASSERT_EQ(ui->boxes.size(), 1u);
        EXPECT_EQ(ui->boxes[0].kind, ScriptedUi::BoxKind::Information) << ui->boxes[0].text.toStdString();
    }
    const auto backups = a.Backups();
    ASSERT_EQ(backups.size(), 2u);
    for (const BackupFile& backup : backups)
        EXPECT_EQ(SelectRows(backup.path, "SELECT count(*) FROM svazkovna"), std::vector<std::string>{"3000"});
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Folder())) ++files;
    EXPECT_EQ(files, 2u) << "no part or journal is left";
}

// On opening, what killed runs left is removed: unfinished backups and kept
// damaged copies, their journals, a restore's copy. What a live copy of the
// program is writing stays, and so does everything not ours.
TEST_F(BackupRaceTest, OpeningRemovesLeftoversNobodyWrites) {
    TASQLite3DB con;
    MakeCatalogue(con);
    fs::create_directory(Folder());
    const std::string backup = kBackupName;
    const backupfiles::PartFile live(fs::path(Folder()) / "2026-02-02_00-00-00-000Z.db.part");
    const struct {
        std::string path;
        bool stays;
    } files[] = {
        {Folder() + "/2026-01-01_00-00-00-000Z.db.part", false},
        {Folder() + "/2026-01-01_00-00-00-000Z.db.part-journal", false},
        {Folder() + "/2026-01-03_00-00-00-000Z.db.part-journal", false},
        {Folder() + "/poskozeny-2026-01-01_00-00-00-000Z.db.part", false},
        {Catalogue() + ".obnova", false},
        {live.path(), true},
        {live.path() + "-journal", true},
        {Folder() + "/" + backup, true},
        {Folder() + "/poznamky.part", true},
        {Folder() + "/poznamky.part-journal", true},
    };
    for (const auto& file : files)
        if (file.path != live.path()) WriteFile(file.path, "x");
    ScriptedUi ui;
    CatalogueBackup backups(con, ui, Settings());
    backups.CheckAside();
    EXPECT_EQ(backups.CheckOpened(false), Opened::Sound);
    for (const auto& file : files) EXPECT_EQ(fs::exists(file.path), file.stays) << file.path;
    EXPECT_TRUE(ui.boxes.empty());
}

// A second place that stays unplugged refuses every copy of a long session:
// no refusal may keep a handle of the source or of the target open.
TEST_F(BackupRaceTest, RefusedCopiesLeaveNoHandleOpen) {
    const std::string source = dir.file("zdroj.db");
    WriteFile(source, std::string(3 << 20, 'z'));
    WriteFile(dir.file("existuje.db"), "x");
    struct Case {
        const char* name;
        std::string from;
        std::string to;
        std::function<bool()> tick;
        bool throws;
    };
    const Case cases[] = {
        {"missing source", dir.file("neni.db"), dir.file("a.part"), {}, false},
        {"target exists", source, dir.file("existuje.db"), {}, false},
        {"place unplugged", source, dir.file("odpojeno/a.part"), {}, false},
        {"cancelled", source, dir.file("b.part"), [] { return false; }, false},
        {"progress fails", source, dir.file("c.part"), []() -> bool { throw std::runtime_error("okno"); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = OpenHandles();
        for (int i = 0; i < 20; ++i) {
            QString failure;
            try {
                failure = backupfiles::CopyFile(c.from, c.to, c.tick);
            } catch (const std::runtime_error&) {
                failure = "threw";
            }
            EXPECT_FALSE(failure.isEmpty());
            EXPECT_EQ(failure == "threw", c.throws);
            if (c.to != dir.file("existuje.db")) {
                EXPECT_FALSE(fs::exists(c.to)) << "a refused copy is removed";
            }
        }
        EXPECT_EQ(OpenHandles(), before);
    }
}

}  // namespace
}  // namespace testsupport
