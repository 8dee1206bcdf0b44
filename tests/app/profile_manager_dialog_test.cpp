#include "support/app_test_main.h"
// The window under test and what the main window gives it.
#include "app/profile_manager_dialog.h"
#include "device/keyboard_scan.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "protocol/device_mirrors.h"
#include "sim/sim_hid_backend.h"
#include "skin/image_button.h"
#include "storage/colour_files.h"
#include "storage/keyboard_session.h"
#include "storage/profile_file.h"
#include "support/recording_prompts.h"
#include "widgets/skin_list.h"

#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

namespace velkan::app {
namespace {

namespace fs = std::filesystem;

constexpr int kOk = ProfileManagerDialog::kOkId;
constexpr int kCancel = ProfileManagerDialog::kCancelId;

class NoView : public storage::SessionView {
public:
    void showProfile(int) override {}
    void keyModelChanged() override {}
    void lightingChanged() override {}
};

// The profile manager as the main window holds it, on a simulated keyboard whose active
// profile is 1, with its own settings store. The main window's profile switch is the
// keyboard session's, answered once the event loop runs again, as the keyboard's worker
// answers.
struct Rig {
    sim::SimHidBackend backend;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard =
        std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    device::DeviceLink link{backend};
    protocol::DeviceMirrors mirrors{link};
    model::KeyConfiguration configuration;
    model::Lighting lighting;
    storage::ColourFiles colourFiles = storage::ColourFiles::forProgram();
    velkan::test::RecordingPrompts prompts;
    velkan::test::TableTexts texts;
    NoView view;
    fs::path workingFile = storage::workingFilePath();
    storage::KeyboardSession session{
        {link, mirrors, configuration, lighting, colourFiles, texts, view, workingFile}};
    platform::SettingsStore store{platform::userConfigFolder() /
                                  ("settings" + std::to_string(++storesMade) + ".ini")};
    storage::AppProfile appProfile{store};

    std::vector<int> switchesAsked;
    std::vector<fs::path> imported;
    ProfileManagerDialog dialog{
        nullptr,
        platform::programFolder() / "Skins" / "Profile.ini",
        platform::programFolder() / "Skins",
        {prompts, texts, appProfile, workingFile, [this] { return link.activeProfileCache.load(); },
         [this](int profile, std::function<void(bool)> then) {
             switchesAsked.push_back(profile);
             session.selectProfile(profile);
             const bool switched = model::activeProfile(link) == profile;
             QTimer::singleShot(0, &dialog, [then, switched] { then(switched); });
         },
         [this](const fs::path& file) { imported.push_back(file); }}};

    static inline int storesMade = 0;

    bool connect() {
        const std::array<std::uint8_t, 1> profileOne = {1};
        if (!colourFiles.ensureFolder() || !backend.plug(keyboard) ||
            !keyboard->setMemory(sim::SimRegion::deviceInfo, 10, profileOne) ||
            !link.commandChannel.enumerate() ||
            !device::scanForKeyboardCollection(link.commandChannel, device::kCommandCollection)) {
            return false;
        }
        link.setModel(device::kKeyboard126);
        link.devicePresent = true;
        return model::activeProfile(link) == 1;
    }

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

    widgets::SkinList& list() { return *static_cast<widgets::SkinList*>(dialog.control(1007)); }
    void press(int controlId) { dialog.button(controlId)->click(); }
    bool applyEnabled() { return dialog.button(1012)->isEnabled(); }
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
            QCOMPARE(rig.dialog.button(kOk)->text(), QStringLiteral("Fine"));
            QCOMPARE(rig.dialog.button(kCancel)->text(), QStringLiteral("<PROFILE_CANCLE>"));
            QCOMPARE(rig.dialog.button(1012)->text(), QStringLiteral("<PROFILE_APPLY>"));

            rig.texts.table["PROFILE_OK"] = "Good";
            rig.dialog.changeLanguage(0);
            QCOMPARE(rig.dialog.button(kOk)->text(), QStringLiteral("Good"));
            QVERIFY(rig.dialog.button(1010)->isVisible());
            QVERIFY(!rig.dialog.control(1013)->isVisible());
        });
    }

    void applyStoresEveryRowAndTheCount() {
        Rig rig;
        QVERIFY(rig.connect());
        rig.prompts.chosenFile = "/nowhere/old.fwc";
        rig.run([&] {
            rig.press(1008);
            QCOMPARE(rig.list().rowCount(), 4);
            QVERIFY(rig.applyEnabled());
            rig.press(1012);
            QTRY_VERIFY(!rig.applyEnabled());
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
                rig.press(1011);
                QCOMPARE(rig.list().rowCount(), left - 1);
                // No other row is chosen in its place.
                QCOMPARE(rig.list().selectedRow(), -1);
            }
            rig.press(1011);
            rig.keyboard->clearWireLog();
            rig.press(1012);
        });
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
            rig.press(1012);
            QCOMPARE(int{rig.keyboard->activeProfile()}, 2);
            // The row is marked once the switch is answered.
            QTRY_VERIFY(!rig.list().cellText(2, 0).isEmpty());
            QVERIFY(rig.list().cellText(1, 0).isEmpty());
            QVERIFY(!rig.applyEnabled());
        });
        QCOMPARE(rig.switchesAsked, std::vector<int>{2});
    }

    // Applying the row of a file the user added puts that file into the keyboard; the
    // keyboard's active profile stays.
    void applyImportsTheChosenFileRow() {
        Rig rig;
        QVERIFY(rig.connect());
        const fs::path file = rig.workingFile.parent_path() / "Racing.fwc";
        rig.prompts.chosenFile = file;
        rig.run([&] {
            rig.press(1010);
            rig.list().selectRow(3);
            rig.press(1012);
            QVERIFY(!rig.applyEnabled());
        });
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
            rig.press(1010);
            QCOMPARE(rig.list().rowCount(), 4);
            QCOMPARE(rig.list().cellText(3, 1), QStringLiteral("Racing"));
            QVERIFY(rig.applyEnabled());
        });
        QCOMPARE(storage::checkProfileFile(file), storage::ProfileCheck::valid);
    }

    void onlyOkWithChangesKeepsThem_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("stored");
        QTest::newRow("cancel") << kCancel << true << int{QDialog::Rejected} << false;
        QTest::newRow("ok") << kOk << true << int{QDialog::Accepted} << true;
        // Nothing to store or switch, and so nothing to take from the main window.
        QTest::newRow("ok unchanged") << kOk << false << int{QDialog::Accepted} << false;
    }
    void onlyOkWithChangesKeepsThem() {
        QFETCH(int, button);
        QFETCH(bool, changed);
        Rig rig;
        QVERIFY(rig.connect());
        rig.prompts.chosenFile = "/nowhere/old.fwc";
        const int result = rig.run([&] {
            if (changed) {
                rig.press(1008);
                rig.list().selectRow(0);
                rig.press(1011);
                rig.list().selectRow(2);
            }
            rig.press(button);
        });
        QTEST(result, "result");
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
