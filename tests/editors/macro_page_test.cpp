#include "support/app_test_main.h"
// The macro page on a plain window standing in for the key assignment dialog.
#include "editors/macro_page.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "skin/image_button.h"
#include "support/recording_prompts.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <string>
#include <vector>

namespace velkan::editors {
namespace {

using model::MacroAction;
using platform::NativeKeyEvent;

constexpr std::uint16_t kPlayMacro = 4;
constexpr std::uint32_t kLeftButtonDown = 0x201;

// A key press as the desktop reports it; scan codes above 0xFF carry the 0xE0 prefix.
NativeKeyEvent press(std::uint8_t vk, std::uint32_t scan) {
    return {vk, (scan & 0xFFU) << platform::kKeyDataScanShift |
                    (scan > 0xFF ? platform::kKeyDataExtended : 0U)};
}
NativeKeyEvent release(NativeKeyEvent event) {
    event.keyData |= platform::kKeyDataPreviousDown | platform::kKeyDataReleased;
    return event;
}
NativeKeyEvent repeat(NativeKeyEvent event) {
    event.keyData |= platform::kKeyDataPreviousDown;
    return event;
}
const NativeKeyEvent kA = press(0x41, 0x1E);
const NativeKeyEvent kB = press(0x42, 0x30);
const NativeKeyEvent kPrintScreen = press(0x2C, 0x137);
const NativeKeyEvent kMute = press(0xAD, 0x120);
const NativeKeyEvent kLeftWin = press(0x5B, 0x15B);

model::MacroRecord macro(std::uint16_t id, const std::string& name,
                         const std::vector<MacroAction>& actions = {}) {
    model::MacroRecord record;
    record.id = id;
    record.setName(name);
    record.actionCount = static_cast<std::uint16_t>(actions.size());
    std::copy(actions.begin(), actions.end(), record.actions.begin());
    return record;
}

struct Row {
    model::KeyCode key;
    std::uint16_t released;
    std::uint32_t delay;
    friend bool operator==(const Row&, const Row&) = default;
};

// A key event the page records at a time of the clock.
struct Step {
    std::uint64_t ms;
    NativeKeyEvent event;
};

struct Rig {
    QWidget dialog;
    model::KeyConfiguration configuration;
    velkan::test::RecordingPrompts prompts;
    velkan::test::TableTexts texts;
    platform::SettingsStore store{platform::userConfigFolder() /
                                  ("macro" + std::to_string(++storesMade) + ".ini")};
    storage::AppProfile appProfile{store};
    std::uint64_t now = 1000;
    int modifications = 0;
    MacroPage page{{dialog, platform::programFolder() / "Skins" / "Composite.ini",
                    platform::programFolder() / "Skins", configuration, prompts, texts, appProfile,
                    [this] { ++modifications; }}};
    static inline int storesMade = 0;

    // `settings`: what the user's settings held before the page was first opened.
    explicit Rig(const std::vector<model::MacroRecord>& macros = {}, std::uint16_t selected = 0,
                 const std::function<void(storage::AppProfile&)>& settings = {}) {
        texts.table = {{"MACRO_NEW_PREFIX", "Macro "},
                       {"MACRO_ERR_MAX", "at most %d"},
                       {"MACRO_ACTION_ERR_DELAY_MAX", "up to %d ms"},
                       {"MACRO_ACTION_RECORD_DELAY", "Record the delays"}};
        if (settings) {
            settings(appProfile);
        }
        configuration.edited.macros = macros;
        page.createControls();
        page.setClock([this] { return now; });
        page.setVisible(true);
        dialog.show();
        page.loadWorkingCopies(selected);
    }

    // A control of the page, by name.
    template <typename Control> Control& control(const char* name) {
        auto* found = dialog.findChild<Control*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return *found;
    }
    widgets::SkinCombo& list() { return control<widgets::SkinCombo>("macroList"); }
    widgets::SkinList& actions() { return control<widgets::SkinList>("actionList"); }
    void click(const char* button) { control<QAbstractButton>(button).click(); }
    QStringList names() {
        QStringList names;
        for (int i = 0; i < list().count(); ++i) {
            names << list().itemText(i);
        }
        return names;
    }
    void rename(const QString& typed) {
        list().lineEdit()->selectAll();
        QTest::keyClick(&list(), Qt::Key_Backspace);
        QTest::keyClicks(&list(), typed);
        QTest::keyClick(&list(), Qt::Key_Return);
    }
    // The selected macro as the model holds it after Apply.
    std::vector<Row> committedRows() {
        page.commit();
        const model::MacroRecord& stored =
            configuration.edited.macros.at(static_cast<std::size_t>(list().currentIndex()));
        std::vector<Row> rows;
        for (std::size_t i = 0; i < stored.actionCount; ++i) {
            rows.push_back(
                {stored.actions[i].key, stored.actions[i].released, stored.actions[i].delay});
        }
        return rows;
    }
    bool recordAt(std::uint64_t ms, const NativeKeyEvent& event) {
        now = ms;
        return page.recordKey(event);
    }
};

} // namespace

class MacroPageTest : public QObject {
    Q_OBJECT

private slots:
    void aHundredMacrosAtMost() {
        Rig rig;
        // A name typed into the empty list is the first macro.
        rig.rename(QStringLiteral("Ice"));
        for (int i = 1; i < 100; ++i) {
            rig.click("addMacroButton");
        }
        QCOMPARE(rig.names().first(), QStringLiteral("Ice"));
        QCOMPARE(rig.names().at(99), QStringLiteral("Macro 99"));
        QVERIFY(rig.prompts.shown.empty());
        QCOMPARE(rig.modifications, 100);
        rig.click("addMacroButton");
        QCOMPARE(rig.list().count(), 100);
        QCOMPARE(rig.modifications, 100);
        QCOMPARE(rig.prompts.shown, std::vector<std::string>{"at most 100"});
    }

    void namesNeverBeginAnotherName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        const QString macro1 = QStringLiteral("Macro 1");
        QTest::newRow("free name") << "Ice" << QStringList{"Ice", macro1};
        QTest::newRow("own name in other case") << "fIRE" << QStringList{"fIRE", macro1};
        // "Macro 1" begins the other macro's name, so the counter moves on to 2.
        QTest::newRow("beginning of another") << "mac" << QStringList{"Macro 2", macro1};
        QTest::newRow("empty") << "" << QStringList{"Macro 2", macro1};
        QTest::newRow("blank first") << " Ice" << QStringList{"Macro 2", macro1};
    }
    void namesNeverBeginAnotherName() {
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        Rig rig({macro(1, "Fire"), macro(2, "Macro 1")});
        rig.rename(typed);
        QCOMPARE(rig.names(), names);
        QCOMPARE(rig.list().currentIndex(), 0);
        rig.click("addMacroButton");
        // Add skips every number whose name begins an existing one.
        QCOMPARE(rig.names().last(), names.first() == "Macro 2" ? "Macro 3" : "Macro 2");
    }

    void deleteAsksOnlyForAMacroKeysPlay_data() {
        QTest::addColumn<int>("assignedId");
        QTest::addColumn<bool>("deleteTheNewOne");
        QTest::addColumn<bool>("asks");
        QTest::newRow("unused") << 9 << false << false;
        QTest::newRow("played by a key") << 2 << false << true;
        // The new macro took id 3 after the stored one with id 3 went: its key is not its own.
        QTest::newRow("new, with a stale key") << 3 << true << false;
    }
    void deleteAsksOnlyForAMacroKeysPlay() {
        QFETCH(int, assignedId);
        QFETCH(bool, deleteTheNewOne);
        QFETCH(bool, asks);
        Rig rig({macro(1, "A"), macro(2, "B"), macro(3, "C")}, 2);
        rig.configuration.edited.image.record(1, 30) = {kPlayMacro, 1, assignedId, 0, 0};
        if (deleteTheNewOne) {
            rig.prompts.answer = true;
            rig.list().setCurrentIndex(2);
            rig.click("deleteMacroButton");
            rig.click("addMacroButton");
            rig.prompts.shown.clear();
            rig.prompts.answer = false;
        }
        rig.click("deleteMacroButton");
        QCOMPARE(rig.prompts.shown.size(), asks ? 1U : 0U);
        QCOMPARE(rig.list().count(), asks ? 3 : 2);
    }

    void lowestFreeIdIsReusedAndItsOldKeysCleared() {
        Rig rig({macro(1, "A"), macro(2, "B"), macro(3, "C")}, 3);
        model::KeyImage& image = rig.configuration.edited.image;
        image.record(0, 30) = {kPlayMacro, 5, 3, 0, 0};
        image.record(2, 256) = {kPlayMacro, 5, 3, 0, 0};
        image.record(1, 31) = {kPlayMacro, 5, 2, 0, 0};
        image.record(1, 32) = {kPlayMacro, 5, 0, 0, 0};
        rig.prompts.answer = true;
        rig.click("deleteMacroButton");
        rig.click("addMacroButton");
        QCOMPARE(rig.page.selectedMacroId(), 3);
        rig.page.commit();
        QCOMPARE(image.record(0, 30).type, 0);
        QCOMPARE(image.record(0, 30).value, 0);
        QCOMPARE(image.record(2, 256).type, 0);
        QCOMPARE(image.record(2, 256).aux, 0x0301); // the extra key's own tag again
        QCOMPARE(image.record(1, 31).value, 2);
        QCOMPARE(image.record(1, 32).value, 1); // a macro key without a macro takes the first
        QVERIFY(rig.configuration.edited.macroDeleted);
        const model::MacroList& stored = rig.configuration.edited.macros;
        QCOMPARE(stored.size(), 3U);
        QCOMPARE(stored[2].nameUtf8(), "Macro 1");
        QCOMPARE(stored[2].isNew, 0);
        // Applied once, the new macro is the model's own: a key given it keeps it.
        image.record(0, 40) = {kPlayMacro, 1, 3, 0, 0};
        rig.page.commit();
        QCOMPARE(image.record(0, 40).type, kPlayMacro);
    }

    void delayCellsAreHeldTo40000In10msSteps_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<std::uint32_t>("stored");
        QTest::addColumn<bool>("warned");
        QTest::newRow("rounded down") << "1234" << 1230U << false;
        QTest::newRow("above the limit") << "50000" << 40000U << true;
        QTest::newRow("below one step") << "9" << 0U << false;
    }
    void delayCellsAreHeldTo40000In10msSteps() {
        QFETCH(QString, typed);
        QFETCH(std::uint32_t, stored);
        QFETCH(bool, warned);
        Rig rig({macro(1, "A", {{50, 0x1E, 0}})});
        QVERIFY(rig.actions().editCell(0, MacroPage::kDelayColumn));
        rig.actions().viewport()->findChild<QLineEdit*>()->setText(typed);
        rig.actions().commitEdit();
        QCOMPARE(rig.actions().cellText(0, MacroPage::kDelayColumn), QString::number(stored));
        QCOMPARE(rig.prompts.shown,
                 warned ? std::vector<std::string>{"up to 40000 ms"} : std::vector<std::string>{});
        QCOMPARE(rig.committedRows(), (std::vector<Row>{{0x1E, 0, stored}}));
    }

    void keyAndKindCellsOfferTheirLists() {
        Rig rig({macro(1, "A", {{50, 0x1E, 0}})});
        widgets::SkinList& actions = rig.actions();
        QVERIFY(actions.editCell(0, MacroPage::kKeyColumn));
        auto* dropDown =
            actions.viewport()->findChild<QComboBox*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(dropDown->count(), 106);
        QCOMPARE(dropDown->currentIndex(), 0); // A has key id 0, B key id 1
        dropDown->setCurrentIndex(1);
        emit dropDown->activated(1);
        QVERIFY(actions.editCell(0, MacroPage::kKindColumn));
        QCOMPARE(dropDown->count(), 2);
        dropDown->setCurrentIndex(1);
        emit dropDown->activated(1);
        QCOMPARE(rig.committedRows(), (std::vector<Row>{{0x30, 1, 50}}));
    }

    // Every cell shows its whole text, and the columns fit the list without a sideways scroll.
    void actionCellsShowTheirWholeText() {
        Rig rig({macro(1, "A", {{40000, 0x137, 0}, {50, 0x2A, 1}, {50, 0x171, 1}})});
        rig.texts.table.insert({{"IDS_KEYBOARD_PRINT", "Print Screen"},
                                {"IDS_KEYBOARD_LSHIFT", "Left Shift"},
                                {"IDS_KEYBOARD_MOU_LEFT", "Left Button"},
                                {"MACRO_KEYS_TISHI", "Key"},
                                {"MACRO_ACTION_TISHI", "Action"},
                                {"MACRO_DELAY_MS", "Delay (ms)"},
                                {"MACRO_ACTION_PRESS", "Press"},
                                {"MACRO_ACTION_RELEASE", "Release"}});
        rig.page.reloadTexts();
        widgets::SkinList& list = rig.actions();
        QCOMPARE(list.cellText(0, MacroPage::kKeyColumn), "Print Screen");
        QCOMPARE(list.cellText(1, MacroPage::kKindColumn), "\u2191 Release");
        // What each cell's text needs, as the list's own painter measures it.
        QStyleOptionViewItem option;
        option.font = list.font();
        option.fontMetrics = list.fontMetrics();
        int total = 0;
        for (const int column :
             {MacroPage::kKeyColumn, MacroPage::kKindColumn, MacroPage::kDelayColumn}) {
            for (int row = 0; row < list.rowCount(); ++row) {
                const QModelIndex cell = list.model()->index(row, column);
                QVERIFY2(list.itemDelegate()->sizeHint(option, cell).width() <=
                             list.columnWidth(column),
                         qPrintable(list.cellText(row, column)));
            }
            total += list.columnWidth(column);
        }
        QVERIFY(total <= list.viewport()->width());
    }

    void recordingTimesEachStepOnTheRowBefore_data() {
        QTest::addColumn<bool>("measured");
        QTest::addColumn<std::vector<Step>>("steps");
        QTest::addColumn<std::vector<Row>>("rows");
        const std::vector<Step> twoKeys = {
            {1100, kA}, {1220, release(kA)}, {1600, kB}, {1630, release(kB)}};
        QTest::newRow("fixed steps")
            << false << twoKeys
            << std::vector<Row>{{0x1E, 0, 50}, {0x1E, 1, 50}, {0x30, 0, 50}, {0x30, 1, 0}};
        QTest::newRow("measured") << true << twoKeys
                                  << std::vector<Row>{{0x1E, 0, 120},
                                                      {0x1E, 1, 380},
                                                      {0x30, 0, 30},
                                                      {0x30, 1, 0}};
        // Print Screen reports its release only: its press follows the wait measured, and the
        // release follows the press after 2 ms.
        const std::vector<Step> printScreen = {{1100, kA}, {1400, release(kPrintScreen)}};
        QTest::newRow("print screen")
            << true << printScreen
            << std::vector<Row>{{0x1E, 0, 300}, {0x137, 0, 2}, {0x137, 1, 0}};
        QTest::newRow("print screen, fixed")
            << false << printScreen
            << std::vector<Row>{{0x1E, 0, 50}, {0x137, 0, 50}, {0x137, 1, 0}};
        QTest::newRow("print screen with its press")
            << true
            << std::vector<Step>{{1100, kA}, {1400, kPrintScreen}, {1480, release(kPrintScreen)}}
            << std::vector<Row>{{0x1E, 0, 300}, {0x137, 0, 80}, {0x137, 1, 0}};
    }
    void recordingTimesEachStepOnTheRowBefore() {
        QFETCH(bool, measured);
        QFETCH(std::vector<Step>, steps);
        QFETCH(std::vector<Row>, rows);
        Rig rig({macro(1, "A")});
        // A stored value other than 0 or 1 is off, and is stored as off.
        rig.appProfile.writeInt("PROFILES", "RecordDelay", 7);
        rig.page.loadWorkingCopies(1);
        auto* option = &rig.control<QCheckBox>("recordDelayBox");
        QVERIFY(!option->isChecked());
        if (measured) {
            option->click();
        }
        QCOMPARE(rig.appProfile.readInt("PROFILES", "RecordDelay", -1), measured ? 1 : 0);
        rig.click("recordButton");
        QVERIFY(rig.page.recording());
        for (const Step& step : steps) {
            QVERIFY(rig.recordAt(step.ms, step.event));
        }
        QCOMPARE(rig.committedRows(), rows);
        QVERIFY(!rig.page.recording()); // Apply stops it
    }

    // The option is kept under a name of its own: a change of language keeps it, and a value
    // stored under the old language's text is taken over once.
    void recordDelayOptionOutlivesTheLanguage() {
        Rig rig({macro(1, "A")}, 1, [](storage::AppProfile& settings) {
            settings.writeInt("PROFILES", "Record the delays", 1);
        });
        auto* option = &rig.control<QCheckBox>("recordDelayBox");
        QVERIFY(option->isChecked());
        QCOMPARE(rig.appProfile.readInt("PROFILES", "RecordDelay", -1), 1);

        rig.texts.table["MACRO_ACTION_RECORD_DELAY"] = "Verzögerungen aufnehmen";
        rig.appProfile.writeInt("PROFILES", "Record the delays", 0);
        rig.page.loadWorkingCopies(1);
        QVERIFY(option->isChecked());
    }

    // Mouse buttons come from clicks on the action list.
    void onlyWhatTheUserDidOnceIsRecorded() {
        Rig rig({macro(1, "A")});
        QVERIFY(!rig.page.recordKey(kA)); // not recording
        rig.click("recordButton");
        QVERIFY(rig.page.recordKey(kA));
        QVERIFY(rig.page.recordKey(repeat(kA)));
        QVERIFY(!rig.page.recordKey(kMute));
        QVERIFY(rig.page.recordKey(kLeftWin));
        QVERIFY(rig.page.recordKey(kLeftWin)); // held down, reported again
        QVERIFY(rig.page.recordKey(release(kLeftWin)));
        QTest::mouseClick(rig.actions().viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!rig.page.recordMouse(0x200)); // a move is no button
        QCOMPARE(rig.actions().rowCount(), 5);
        QCOMPARE(rig.actions().cellText(1, MacroPage::kKeyColumn), "<IDS_KEYBOARD_LWIN>");
        QCOMPARE(rig.actions().cellText(4, MacroPage::kKeyColumn), "<IDS_KEYBOARD_MOU_LEFT>");
        QVERIFY(!rig.list().isEnabled());
        rig.page.setVisible(false); // another page shown
        QVERIFY(!rig.page.recording() && rig.list().isEnabled());
    }

    void recordingStopsAddingAt4000Actions() {
        Rig rig({macro(1, "A", std::vector<MacroAction>(3999, {10, 0x30, 0}))});
        rig.click("recordButton");
        QVERIFY(rig.page.recordKey(kA));
        QVERIFY(rig.page.recordKey(release(kA)));
        QVERIFY(rig.page.recordMouse(kLeftButtonDown));
        const std::vector<Row> rows = rig.committedRows();
        QCOMPARE(rows.size(), 4000U);
        // The new last row inherits the wait of the row it follows.
        QCOMPARE(rows.back(), (Row{0x1E, 0, 10}));
    }

    void cancelLeavesTheModelsMacrosAsTheyWere() {
        Rig rig({macro(1, "A", {{20, 0x1E, 0}})});
        rig.click("addMacroButton");
        rig.click("recordButton");
        rig.page.recordKey(kA);
        rig.click("recordButton");
        rig.list().setCurrentIndex(0);
        rig.rename(QStringLiteral("Renamed"));
        rig.page.freeWorkingCopies();
        const model::MacroList& stored = rig.configuration.edited.macros;
        QCOMPARE(stored.size(), 1U);
        QCOMPARE(stored[0].nameUtf8(), "A");
        QCOMPARE(stored[0].actionCount, 1);
        QCOMPARE(rig.list().count(), 0);
    }

    void cyclesFieldStaysWithin1To255_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("cycles");
        QTest::newRow("in range") << "42" << 42;
        QTest::newRow("zero") << "0" << 1;
        QTest::newRow("too many") << "300" << 255;
        QTest::newRow("nothing") << "" << 1;
    }
    void cyclesFieldStaysWithin1To255() {
        QFETCH(QString, typed);
        QFETCH(int, cycles);
        Rig rig({macro(1, "A")});
        auto* field = &rig.control<QLineEdit>("cyclesField");
        field->selectAll();
        if (typed.isEmpty()) {
            QTest::keyClick(field, Qt::Key_Backspace);
        }
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), QString::number(cycles));
        QCOMPARE(rig.page.cycles(), cycles);
    }
};

} // namespace velkan::editors

VELKAN_APP_TEST_MAIN(velkan::editors::MacroPageTest)
#include "macro_page_test.moc"
