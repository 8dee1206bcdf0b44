#include "support/app_test_main.h"
// The window under test and what the main window gives it.
#include "app/keyboard_controller.h"
#include "app/main_window.h"
#include "app/profile_manager_dialog.h"
#include "app/secondary_windows.h"
#include "main_window_fixture.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "sim/sim_hid_backend.h"
#include "skin/image_button.h"
#include "storage/colour_files.h"
#include "storage/profile_file.h"
#include "support/controller_settle.h"
#include "support/recording_prompts.h"
#include "widgets/skin_list.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

namespace velkan::app {
namespace {

namespace fs = std::filesystem;

// The dialog's controls carry no names; its own constants stand for them.
constexpr const char* kOk = "okButton";
constexpr const char* kCancel = "cancelButton";
constexpr const char* kLoad = "loadButton";
constexpr const char* kAdd = "addButton";
constexpr const char* kDelete = "deleteButton";
constexpr const char* kApply = "applyButton";

QAbstractButton* buttonOf(const QWidget& dialog, const char* name) {
    return dialog.findChild<QAbstractButton*>(QString::fromLatin1(name));
}

// An outcome of the keyboard controller's worker: as long as settle() waits for one.
constexpr int kOutcomeMs = 30000;

// The profile manager as the main window holds it, on a simulated keyboard whose active
// profile is 1, with its own settings store. The main window's profile switch is the
// keyboard controller's, whose worker answers later, as in the program.
struct Rig {
    std::shared_ptr<sim::SimulatedKeyboard> keyboard =
        std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    std::unique_ptr<sim::SimHidBackend> ownBackend = std::make_unique<sim::SimHidBackend>();
    sim::SimHidBackend& backend = *ownBackend; // the controller's, from here on
    velkan::test::RecordingPrompts prompts;
    velkan::test::TableTexts texts;
    KeyboardController controller{std::move(ownBackend), texts, storage::ColourFiles::forProgram()};
    fs::path workingFile = storage::workingFilePath();
    platform::SettingsStore store{platform::userConfigFolder() /
                                  ("settings" + std::to_string(++storesMade) + ".ini")};
    storage::AppProfile appProfile{store};

    std::vector<int> switchesAsked;
    std::vector<fs::path> imported;
    ProfileManagerDialog dialog{
        nullptr,
        platform::programFolder() / "Skins" / "Profile.ini",
        platform::programFolder() / "Skins",
        {prompts, texts, appProfile, workingFile, [this] { return controller.activeProfile(); },
         [this](int profile, std::function<void(bool)> then) {
             switchesAsked.push_back(profile);
             controller.selectProfile(profile, false, {&dialog, [then](ProfileChange change) {
                                                           then(change != ProfileChange::refused);
                                                       }});
         },
         [this](const fs::path& file) { imported.push_back(file); }}};

    static inline int storesMade = 0;

    // The keyboard arrives and is read back, as at the program's start.
    bool connect() {
        const std::array<std::uint8_t, 1> profileOne = {1};
        if (!controller.colourFiles().ensureFolder() ||
            !keyboard->setMemory(sim::SimRegion::deviceInfo, 10, profileOne) ||
            !backend.plug(keyboard)) {
            return false;
        }
        // The read-back is known to be over only once it hands back the keyboard's keys.
        QSignalSpy readBack(&controller, &KeyboardController::keysReplaced);
        controller.start(false);
        if (!readBack.wait(kOutcomeMs) || !settle()) {
            return false;
        }
        keyboard->clearWireLog();
        return controller.activeProfile() == 1;
    }
    // Every switch asked of the keyboard so far is done.
    bool settle() { return velkan::test::settle(controller); }

    // Opens the manager and runs `steps` in it, as the user would; the window is cancelled
    // afterwards unless the steps closed it. Returns the dialog's result.
    int run(const std::function<void()>& steps) {
        QTimer::singleShot(0, &dialog, [this, steps] {
            steps();
            if (dialog.isVisible()) {
                dialog.reject();
            }
        });
        return dialog.openProfileManager();
    }

    widgets::SkinList& list() { return *dialog.findChild<widgets::SkinList*>(); }
    void press(const char* name) { buttonOf(dialog, name)->click(); }
    bool applyEnabled() { return buttonOf(dialog, kApply)->isEnabled(); }
    std::optional<std::string> stored(const char* entry) const {
        return appProfile.readString("PROFILES", entry);
    }
};

} // namespace

class ProfileManagerDialogTest : public QObject {
    Q_OBJECT

private slots:
    void opensOnTheWorkingFileWithTheActiveProfileChosen() {
        Rig rig;
        QVERIFY(rig.connect());
        rig.texts.table["PROFILE_OK"] = "Fine";
        rig.run([&] {
            widgets::SkinList& list = rig.list();
            QCOMPARE(list.rowCount(), 3);
            for (int row = 0; row < 3; ++row) {
                QCOMPARE(list.cellText(row, 0).isEmpty(), row != 1);
                // The keyboard's profiles by their names.
                QCOMPARE(list.cellText(row, 1), QStringLiteral("<PROFILE_%1>").arg(row + 1));
                QCOMPARE(list.cellText(row, 2),
                         QString::fromStdString(rig.workingFile.parent_path().string()));
            }
            QCOMPARE(list.selectedRow(), 1);
            QVERIFY(!rig.applyEnabled());
            QCOMPARE(buttonOf(rig.dialog, kOk)->text(), QStringLiteral("Fine"));
            QCOMPARE(buttonOf(rig.dialog, kCancel)->text(), QStringLiteral("<PROFILE_CANCLE>"));
            QCOMPARE(buttonOf(rig.dialog, kApply)->text(), QStringLiteral("<PROFILE_APPLY>"));

            rig.texts.table["PROFILE_OK"] = "Good";
            rig.dialog.changeLanguage(0);
            QCOMPARE(buttonOf(rig.dialog, kOk)->text(), QStringLiteral("Good"));
            QVERIFY(buttonOf(rig.dialog, kAdd)->isVisible());
        });
    }

    void applyStoresEveryRowAndTheCount() {
        Rig rig;
        QVERIFY(rig.connect());
        rig.prompts.chosenFile = "/nowhere/old.fwc";
        rig.run([&] {
            rig.press(kLoad);
            QCOMPARE(rig.list().rowCount(), 4);
            QVERIFY(rig.applyEnabled());
            rig.press(kApply);
            // Apply stays on until the keyboard has taken the selected row's profile.
            QVERIFY(rig.settle());
            QVERIFY(!rig.applyEnabled());
        });
        const std::string working = (rig.workingFile.parent_path() / "$Profile0.fwc").string();
        QCOMPARE(rig.stored("PROFILE00"), std::optional<std::string>("4"));
        for (const char* entry : {"PROFILE01", "PROFILE02", "PROFILE03"}) {
            QCOMPARE(rig.stored(entry), std::optional(working));
        }
        QCOMPARE(rig.stored("PROFILE04"), std::optional<std::string>("/nowhere/old.fwc"));
        QCOMPARE(rig.stored("PROFILE05"), std::optional<std::string>());
        // The file is not examined when it is loaded.
        QVERIFY(rig.prompts.shown.empty());
    }

    void deletingEveryRowStoresOnlyTheCountAndKeepsTheActiveProfile() {
        Rig rig;
        QVERIFY(rig.connect());
        rig.run([&] {
            for (int left = 3; left > 0; --left) {
                rig.list().selectRow(left - 1);
                rig.press(kDelete);
                QCOMPARE(rig.list().rowCount(), left - 1);
                // No other row is chosen in its place.
                QCOMPARE(rig.list().selectedRow(), -1);
            }
            rig.press(kDelete);
            rig.keyboard->clearWireLog();
            rig.press(kApply);
        });
        QVERIFY(rig.settle());
        QCOMPARE(rig.stored("PROFILE00"), std::optional<std::string>("0"));
        QCOMPARE(rig.stored("PROFILE01"), std::optional<std::string>());
        QCOMPARE(int{rig.keyboard->activeProfile()}, 1);
        QVERIFY(rig.keyboard->wireLog().empty());
        QVERIFY(rig.switchesAsked.empty());
    }

    void applyMakesTheSelectedRowTheActiveProfile() {
        Rig rig;
        QVERIFY(rig.connect());
        rig.run([&] {
            rig.list().selectRow(2);
            QVERIFY(rig.applyEnabled());
            rig.press(kApply);
            // The row is marked once the keyboard has switched.
            QVERIFY(rig.settle());
            QCOMPARE(int{rig.keyboard->activeProfile()}, 2);
            QVERIFY(!rig.list().cellText(2, 0).isEmpty());
            QVERIFY(rig.list().cellText(1, 0).isEmpty());
            QVERIFY(!rig.applyEnabled());
        });
        QCOMPARE(rig.switchesAsked, std::vector<int>{2});
    }

    // The main window follows a switch made in the manager: its profile buttons, the lighting
    // page it shows and its Apply, and the working file is made again from the keyboard.
    void mainWindowFollowsTheSwitch() {
        velkan::test::MainWindowFixture f;
        // Made before any event runs, so the arrival's read-back cannot pass unseen: the
        // window shows itself before that read-back is asked for.
        QSignalSpy readBack(f.controller.get(), &KeyboardController::keysReplaced);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible() && !readBack.isEmpty(), kOutcomeMs);
        QVERIFY(f.settle());
        QCOMPARE(int{f.keyboard->activeProfile()}, 0);
        f.window->edits().setPending(true);
        f.prompts.answer = false; // the unapplied edits are not written first
        ProfileManagerDialog& manager = f.window->secondaryWindows().profileManager();
        bool settled = false;
        QTimer::singleShot(0, &manager, [&] {
            manager.findChild<widgets::SkinList*>()->selectRow(2);
            buttonOf(manager, kApply)->click();
            // The switch's answer asks for a read-back of its own, which the second wait
            // sees through.
            settled = f.settle() && f.settle();
            manager.reject();
        });
        f.click("profilesButton");
        QVERIFY(settled);
        QCOMPARE(int{f.keyboard->activeProfile()}, 2);
        const std::array<bool, 3> marked = {false, false, true};
        for (std::size_t button = 0; button < marked.size(); ++button) {
            const std::string name = "profileButton" + std::to_string(button + 1);
            QCOMPARE(f.named<skin::ImageButton>(name.c_str())->selectedLook(), marked[button]);
        }
        QCOMPARE(f.controller->shownPage(), 2);
        QCOMPARE(f.controller->lighting().currentPage(), 2);
        QVERIFY(!f.window->edits().pending());
        QCOMPARE(storage::checkProfileFile(storage::workingFilePath()),
                 storage::ProfileCheck::valid);
    }

    // Applying the row of a file the user added puts that file into the keyboard; the
    // keyboard's active profile stays.
    void applyImportsTheChosenFileRow() {
        Rig rig;
        QVERIFY(rig.connect());
        const fs::path file = rig.workingFile.parent_path() / "Racing.fwc";
        rig.prompts.chosenFile = file;
        rig.run([&] {
            rig.press(kAdd);
            rig.list().selectRow(3);
            rig.press(kApply);
            QVERIFY(!rig.applyEnabled());
        });
        QVERIFY(rig.settle());
        QCOMPARE(rig.imported, std::vector<fs::path>{file});
        QVERIFY(rig.switchesAsked.empty());
        QCOMPARE(int{rig.keyboard->activeProfile()}, 1);
    }

    void addCreatesAProfileFileAndARow() {
        Rig rig;
        QVERIFY(rig.connect());
        const fs::path file = rig.workingFile.parent_path() / "Racing.fwc";
        rig.prompts.chosenFile = file;
        rig.run([&] {
            rig.press(kAdd);
            QCOMPARE(rig.list().rowCount(), 4);
            QCOMPARE(rig.list().cellText(3, 1), QStringLiteral("Racing"));
            QVERIFY(rig.applyEnabled());
        });
        QCOMPARE(storage::checkProfileFile(file), storage::ProfileCheck::valid);
    }

    void onlyOkWithChangesKeepsThem_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("stored");
        QTest::newRow("cancel") << kCancel << true << int{QDialog::Rejected} << false;
        QTest::newRow("ok") << kOk << true << int{QDialog::Accepted} << true;
        // Nothing to store or switch, and so nothing to take from the main window.
        QTest::newRow("ok unchanged") << kOk << false << int{QDialog::Accepted} << false;
    }
    void onlyOkWithChangesKeepsThem() {
        QFETCH(QString, button);
        QFETCH(bool, changed);
        Rig rig;
        QVERIFY(rig.connect());
        rig.prompts.chosenFile = "/nowhere/old.fwc";
        const int result = rig.run([&] {
            if (changed) {
                rig.press(kLoad);
                rig.list().selectRow(0);
                rig.press(kDelete);
                rig.list().selectRow(2);
            }
            rig.press(button.toLatin1().constData());
        });
        QTEST(result, "result");
        QVERIFY(rig.settle());
        QTEST(rig.stored("PROFILE00").has_value(), "stored");
        // The third row is now the added file: OK imports it, and the profile stays.
        QCOMPARE(int{rig.keyboard->activeProfile()}, 1);
        QVERIFY(rig.switchesAsked.empty());
        QCOMPARE(rig.imported.size(), std::size_t{rig.stored("PROFILE00") ? 1u : 0u});
    }
};

} // namespace velkan::app

VELKAN_APP_TEST_MAIN(velkan::app::ProfileManagerDialogTest)
#include "profile_manager_dialog_test.moc"
