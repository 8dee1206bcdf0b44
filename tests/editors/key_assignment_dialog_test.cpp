#include "support/app_test_main.h"
// The key assignment dialog on the program's default skin: what the user's keys and clicks
// leave in the edited model, where the window opens, and the macro-only opening.
#include "editors/key_assignment_dialog.h"
#include "editors/macro_page.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "skin/image_button.h"
#include "support/recording_prompts.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_list.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <functional>
#include <linux/input-event-codes.h>
#include <string>
#include <tuple>
#include <vector>

namespace velkan::editors {
namespace {

using Dlg = KeyAssignmentDialog;

// A key as X11 reports it: the evdev code + 8 and the key symbol.
struct X11Key {
    quint32 code;
    quint32 symbol;
    int qtKey;
};
constexpr X11Key kKeyA{KEY_A + 8, 'a', Qt::Key_A};
constexpr X11Key kEscape{KEY_ESC + 8, 0xFF1B, Qt::Key_Escape};
constexpr X11Key kEnter{KEY_ENTER + 8, 0xFF0D, Qt::Key_Return};
constexpr X11Key kTab{KEY_TAB + 8, 0xFF09, Qt::Key_Tab};
constexpr X11Key kF1{KEY_F1 + 8, 0xFFBE, Qt::Key_F1};
constexpr X11Key kPrint{KEY_SYSRQ + 8, 0xFF61, Qt::Key_Print};
constexpr X11Key kLeftWin{KEY_LEFTMETA + 8, 0xFFEB, Qt::Key_Meta};
constexpr X11Key kMute{KEY_MUTE + 8, 0x1008FF12, Qt::Key_VolumeMute};

// Keys of the main window's picture: A, B and the third G key, with their records.
constexpr model::KeyIndex kIndexB = 0x30;
constexpr editors::SelectedKey kButtonA{0x1E, {1058}};
constexpr editors::SelectedKey kButtonB{kIndexB, {1075}};
constexpr editors::SelectedKey kThirdGKey{258, {1002}};

// Counts the key events that get past the dialog to a control.
class KeySpy : public QObject {
public:
    int seen = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        seen += event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
        return false;
    }
};

struct Bench {
    model::KeyConfiguration configuration;
    test::RecordingPrompts prompts;
    test::TableTexts texts;
    platform::SettingsStore store{platform::userConfigFolder() / "composite.ini"};
    storage::AppProfile appProfile{store};
    const std::filesystem::path skin = platform::programFolder() / "Skins";
    int profile = 1;
    QRect keyButton{100, 100, 40, 30};
    int recordsWritten = 0;
    std::vector<std::string> documents;
    KeySpy spy;
    Dlg dialog{nullptr,
               {skin / "Composite.ini", skin, configuration, [this] { return profile; },
                [this](model::KeyButton) { return keyButton; }, prompts, texts, appProfile,
                [this] { ++recordsWritten; }, [] { return true; },
                [this](const std::string& document) {
                    documents.push_back(document);
                    return true;
                },
                "Help"}};

    model::KeyAssignment& record(model::KeyIndex index) {
        return configuration.edited.image.record(profile, index);
    }
    bool open(const editors::SelectedKey& key, bool forMacro = false) {
        if (!dialog.beginEditing(key, forMacro)) {
            return false;
        }
        dialog.show();
        for (const char* watched : {"capturedKey", "mediaList"}) {
            control(watched)->installEventFilter(&spy);
        }
        return true;
    }
    // A control of the dialog or its macro page, by name.
    template <typename Control = QWidget> Control* control(const char* name) {
        auto* found = dialog.findChild<Control*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }
    void click(const char* button) { control<QAbstractButton>(button)->click(); }
    void choose(const char* listName, int entry) {
        auto* list = control<widgets::SkinCombo>(listName);
        list->setCurrentIndex(entry);
        emit list->activated(entry);
    }
    void send(const X11Key& key, QEvent::Type type, bool repeat = false,
              const char* target = "capturedKey") {
        QKeyEvent event(type, key.qtKey, Qt::NoModifier, key.code, key.symbol, 0, QString(),
                        repeat);
        QApplication::sendEvent(control(target), &event);
    }
    void tap(const X11Key& key, const char* target = "capturedKey") {
        send(key, QEvent::KeyPress, false, target);
        send(key, QEvent::KeyRelease, false, target);
    }
    QString capturedText() { return control<QLineEdit>("capturedKey")->text(); }
    bool applyEnabled() { return control("applyButton")->isEnabled(); }
};

using Script = std::function<void(Bench&)>;

model::MacroRecord macro(std::uint16_t id, const std::string& name,
                         const std::vector<model::MacroAction>& actions = {}) {
    model::MacroRecord record;
    record.id = id;
    record.setName(name);
    record.actionCount = static_cast<std::uint16_t>(actions.size());
    std::copy(actions.begin(), actions.end(), record.actions.begin());
    return record;
}

// Where a cell of the action list lies on its viewport.
QPoint cellCentre(const widgets::SkinList& list, int row, int column) {
    const QRect rowRect = list.visualItemRect(list.topLevelItem(row));
    const int left = list.header()->sectionViewportPosition(column);
    return {left + list.columnWidth(column) / 2, rowRect.center().y()};
}

// The editor the list shows over a cell being edited.
template <typename Editor> Editor* shownEditor(const widgets::SkinList& list) {
    for (Editor* editor :
         list.viewport()->findChildren<Editor*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (editor->isVisible()) {
            return editor;
        }
    }
    return nullptr;
}

} // namespace
} // namespace velkan::editors

Q_DECLARE_METATYPE(velkan::editors::Script)
Q_DECLARE_METATYPE(velkan::editors::SelectedKey)

namespace velkan::editors {

class KeyAssignmentDialogTest : public QObject {
    Q_OBJECT

private slots:
    void capture_data() {
        QTest::addColumn<Script>("keys");
        QTest::addColumn<bool>("mouseRadio");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("passed");
        const auto tap = [](X11Key key) { return [key](Bench& b) { b.tap(key); }; };
        QTest::newRow("a key") << Script(tap(kKeyA)) << false << "<IDS_KEYBOARD_A>" << 0;
        QTest::newRow("release alone")
            << Script([](Bench& b) { b.send(kKeyA, QEvent::KeyRelease); }) << false << "" << 0;
        QTest::newRow("auto-repeat alone")
            << Script([](Bench& b) { b.send(kKeyA, QEvent::KeyPress, true); }) << false << "" << 0;
        QTest::newRow("print screen, release only")
            << Script(tap(kPrint)) << false << "<IDS_KEYBOARD_PRINT>" << 1;
        QTest::newRow("escape") << Script(tap(kEscape)) << false << "<IDS_KEYBOARD_ESC>" << 0;
        QTest::newRow("enter") << Script(tap(kEnter)) << false << "<IDS_KEYBOARD_ENTER>" << 0;
        QTest::newRow("tab") << Script(tap(kTab)) << false << "<IDS_KEYBOARD_TAB>" << 0;
        QTest::newRow("multimedia key keeps working") << Script(tap(kMute)) << false << "" << 2;
        QTest::newRow("mouse radio, ordinary key") << Script(tap(kKeyA)) << true << "" << 0;
        QTest::newRow("mouse radio, windows key")
            << Script(tap(kLeftWin)) << true << "<IDS_KEYBOARD_LWIN>" << 0;
    }
    // What a key pressed on the single-key page shows, and whether the control under it ever
    // sees the key; the dialog stays open whatever the key.
    void capture() {
        QFETCH(Script, keys);
        QFETCH(bool, mouseRadio);
        QFETCH(QString, shown);
        QFETCH(int, passed);
        Bench bench;
        QVERIFY(bench.open(kButtonB));
        if (mouseRadio) {
            bench.click("mouseRadio");
        }
        keys(bench);
        QCOMPARE(bench.capturedText(), shown);
        QCOMPARE(bench.spy.seen, passed);
        QCOMPARE(bench.applyEnabled(), !shown.isEmpty());
        QVERIFY(bench.dialog.isVisible());
    }

    void storedRecord_data() {
        QTest::addColumn<editors::SelectedKey>("key");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<Script>("edit");
        QTest::addColumn<int>("storedType");
        QTest::addColumn<int>("storedValue");
        QTest::addColumn<int>("storedAux");
        const Script nothing = [](Bench&) {};
        const Script pressA = [](Bench& b) { b.tap(kKeyA); };
        const auto row = [](const char* name, editors::SelectedKey key, int type,
                            int value) -> QTestData& {
            return QTest::newRow(name) << key << type << value;
        };
        row("another key", kButtonB, 0, 0) << pressA << 2 << 0x1E << 0;
        row("the key itself", kButtonA, 0, 0) << pressA << 0 << 0x1E << 0;
        row("print screen", kButtonB, 0, 0)
            << Script([](Bench& b) { b.tap(kPrint); }) << 2 << 0x137 << 0;
        row("wheel down", kButtonB, 0, 0) << Script([](Bench& b) {
            b.click("mouseRadio");
            b.choose("mouseList", 4);
        }) << 2 << 0x162 << 0;
        row("mute", kButtonB, 0, 0) << Script([](Bench& b) {
            b.click("mediaPageButton");
            b.choose("mediaList", 7);
        }) << 7 << 7 << 0;
        row("function on a G key", kThirdGKey, 0, 0) << Script([](Bench& b) {
            b.click("functionPageButton");
            b.choose("functionList", 3);
        }) << 8 << 3 << 0x0303;
        row("clear over a macro", kButtonB, 4, 5)
            << Script([](Bench& b) { b.click("clearButton"); }) << 0 << 0 << 0;
        row("clear after a key", kButtonB, 0, 0) << Script([](Bench& b) {
            b.tap(kKeyA);
            b.click("clearButton");
        }) << 0 << 0 << 0;
        row("unchanged key", kButtonB, 2, 0x1E) << nothing << 2 << 0x1E << 0;
        row("unchanged mouse", kButtonB, 2, 0x172) << nothing << 2 << 0x172 << 0;
        row("unchanged media", kButtonB, 7, 17) << nothing << 7 << 17 << 0;
        row("media value of a damaged file", kButtonB, 7, 99) << nothing << 7 << 0 << 0;
        row("macro page without macros", kButtonB, 0, 0)
            << Script([](Bench& b) { b.click("macroPageButton"); }) << 0 << 0 << 0;
    }
    // OK writes the page's choice into the current profile's record, and nothing else of it.
    void storedRecord() {
        QFETCH(editors::SelectedKey, key);
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(Script, edit);
        QFETCH(int, storedType);
        QFETCH(int, storedValue);
        QFETCH(int, storedAux);
        Bench bench;
        const model::KeyIndex keyIndex = key.keyIndex;
        bench.record(keyIndex) = {static_cast<std::uint16_t>(type), 0, value, 7, 0};
        QVERIFY(bench.open(key));
        edit(bench);
        bench.click("okButton");
        const model::KeyAssignment& stored = bench.record(keyIndex);
        QCOMPARE(int{stored.type}, storedType);
        QCOMPARE(stored.value, storedValue);
        QCOMPARE(int{stored.aux}, storedAux);
        QCOMPARE(stored.marker, 7);
        QCOMPARE(bench.recordsWritten, 1);
        QVERIFY(!bench.dialog.isVisible());
        QCOMPARE(bench.dialog.openCount(), 0);
    }

    void keptRecord_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<Script>("edit");
        QTest::addColumn<bool>("kept");
        const Script nothing = [](Bench&) {};
        QTest::newRow("program") << 3 << nothing << true;
        QTest::newRow("text") << 6 << nothing << true;
        QTest::newRow("disabled") << 1 << nothing << true;
        QTest::newRow("text, then a key") << 6 << Script([](Bench& b) { b.tap(kKeyA); }) << false;
    }
    // Kinds the pages do not make (programs and texts from profile files, keys the keyboard
    // disabled): OK without a choice leaves them, texts included, as they were. Their value
    // names no key to show.
    void keptRecord() {
        QFETCH(int, type);
        QFETCH(Script, edit);
        QFETCH(bool, kept);
        Bench bench;
        const model::KeyAssignment before{static_cast<std::uint16_t>(type), 0, 0x1E, 7, 9};
        bench.record(kIndexB) = before;
        std::u16string& text =
            bench.configuration.edited.strings
                .entries[static_cast<std::size_t>(bench.profile) * model::kRecordsPerBank +
                         kIndexB];
        text = u"notepad.exe";
        QVERIFY(bench.open(kButtonB));
        QCOMPARE(bench.capturedText(), QString());
        edit(bench);
        bench.click("okButton");
        const model::KeyAssignment& after = bench.record(kIndexB);
        const auto fields = [](const model::KeyAssignment& r) {
            return std::tuple(int{r.type}, int{r.aux}, r.value, r.marker, r.reserved);
        };
        if (kept) {
            QVERIFY(fields(after) == fields(before));
            QVERIFY(text == u"notepad.exe");
        } else {
            QVERIFY(fields(after) == std::tuple(2, 0, 0x1E, 7, 9));
            QVERIFY(text.empty());
        }
    }

    void choosingAnEntryIsAnEdit_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("stored"); // after choosing the second entry
        QTest::newRow("mouse") << 2 << 0x173 << "mouseList" << 0x172;
        QTest::newRow("media") << 7 << 3 << "mediaList" << 1;
        QTest::newRow("function") << 8 << 3 << "functionList" << 1;
    }
    // A list shows the stored entry without an edit; the user's choice is one.
    void choosingAnEntryIsAnEdit() {
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(QString, list);
        QFETCH(int, stored);
        Bench bench;
        bench.record(kIndexB) = {static_cast<std::uint16_t>(type), 0, value, 0, 0};
        QVERIFY(bench.open(kButtonB));
        QVERIFY(!bench.applyEnabled());
        bench.choose(qPrintable(list), 1);
        QVERIFY(bench.applyEnabled());
        bench.click("okButton");
        QCOMPARE(bench.record(kIndexB).value, stored);
    }

    // Apply writes at once; what follows it is lost with Cancel.
    void cancelKeepsTheRecord() {
        Bench bench;
        bench.record(kIndexB) = {4, 2, 5, 0, 0};
        QVERIFY(bench.open(kButtonB));
        bench.tap(kKeyA);
        bench.click("mediaPageButton");
        bench.click("cancelButton");
        QCOMPARE(int{bench.record(kIndexB).type}, 4);
        QCOMPARE(bench.record(kIndexB).value, 5);
        QCOMPARE(bench.recordsWritten, 0);

        QVERIFY(bench.open(kButtonB));
        bench.click("mediaPageButton");
        QVERIFY(bench.applyEnabled());
        bench.click("applyButton");
        QVERIFY(!bench.applyEnabled());
        bench.choose("mediaList", 3);
        bench.dialog.cancelIfOpen();
        QCOMPARE(int{bench.record(kIndexB).type}, 7);
        QCOMPARE(bench.record(kIndexB).value, 0);
        QCOMPARE(bench.recordsWritten, 1);
        QCOMPARE(bench.dialog.openCount(), 0);
    }

    // The main window's way in: the dialog runs until OK, with the keys captured meanwhile.
    void editRunsUntilOk() {
        Bench bench;
        int openWhileRunning = 0;
        QTimer::singleShot(0, &bench.dialog, [&bench, &openWhileRunning] {
            openWhileRunning = bench.dialog.openCount();
            bench.tap(kKeyA);
            bench.click("okButton");
        });
        bench.dialog.edit(kButtonB, false);
        QCOMPARE(openWhileRunning, 1);
        QCOMPARE(bench.dialog.openCount(), 0);
        QCOMPARE(bench.record(kIndexB).value, 0x1E);
    }

    // Away from the single-key page, Enter and Escape still never end the dialog, and F1 asks
    // for help.
    void keysOnTheListPages() {
        Bench bench;
        QVERIFY(bench.open(kButtonB));
        bench.click("mediaPageButton");
        for (const X11Key& key : {kEnter, kEscape, kF1}) {
            bench.tap(key, "mediaList");
        }
        QVERIFY(bench.dialog.isVisible());
        QCOMPARE(bench.spy.seen, 0);
        QCOMPARE(bench.documents, std::vector<std::string>{"Help/index.html"});
    }

    void placement_data() {
        QTest::addColumn<QRect>("button");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("right, below") << QRect(100, 100, 40, 30) << QPoint(140, 130);
        QTest::newRow("right, above") << QRect(100, 700, 40, 30) << QPoint(140, 300);
        QTest::newRow("left, below") << QRect(900, 100, 40, 30) << QPoint(420, 130);
        QTest::newRow("left, above") << QRect(900, 700, 40, 30) << QPoint(420, 300);
        QTest::newRow("nowhere") << QRect(300, 300, 400, 200) << QPoint(700, 500);
    }
    // A 480 x 400 dialog beside a key of a 1000 x 800 screen.
    void placement() {
        QFETCH(QRect, button);
        QFETCH(QPoint, place);
        QCOMPARE(dialogPlaceBesideKey(button, QSize(480, 400), QSize(1000, 800)), place);
    }

    void opensBesideTheKeyAboveAndLeftNearTheCorner() {
        Bench bench;
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        bench.keyButton = QRect(screen.width() - 60, screen.height() - 40, 40, 30);
        QVERIFY(bench.open(kButtonB));
        QCOMPARE(bench.dialog.pos(), QPoint(bench.keyButton.left() - bench.dialog.width(),
                                            bench.keyButton.top() - bench.dialog.height()));
    }

    // A key without a record in the key image (past the extra keys) is never edited.
    void opensOnlyForKeys() {
        Bench bench;
        QVERIFY(!bench.dialog.beginEditing({model::KeyIndex{274}, model::kFnKey}, false));
        QCOMPARE(bench.dialog.openCount(), 0);
        QVERIFY(bench.open(kButtonB));
        QCOMPARE(bench.dialog.openCount(), 1);
        QVERIFY(!bench.dialog.beginEditing(kButtonA, false));
    }

    void reloadsItsTexts() {
        Bench bench;
        QVERIFY(bench.open(kButtonB));
        QCOMPARE(bench.control<QAbstractButton>("title")->text(), "<KEY_SETTING_TISHI>");
        bench.texts.table["KEY_SETTING_TISHI"] = "Taste";
        bench.texts.table["IDS_KEYBOARD_MOU_MIDDLE"] = "Mitte";
        bench.dialog.changeLanguage(1);
        QCOMPARE(bench.control<QAbstractButton>("title")->text(), "Taste");
        QCOMPARE(bench.control<QComboBox>("mouseList")->itemText(2), "Mitte");
    }

    // The clear button is a picture alone: hovering it says what it does.
    void clearButtonSaysWhatItDoes() {
        Bench bench;
        bench.texts.table["KEY_CLEAR_PROMPT"] = "Give the key back its own function";
        QVERIFY(bench.open(kButtonB));
        auto* clear = bench.control("clearButton");
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), clear->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(clear, &enter);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), "Give the key back its own function");
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(clear, &leave);
    }

    void toolTips_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("tip");
        QTest::newRow("own function") << 0x1E << 0 << 0x30 << "A";
        QTest::newRow("single key") << 0x1E << 2 << 0x30 << "A - set (key: <IDS_KEYBOARD_B>)";
        QTest::newRow("macro") << 0x1E << 4 << 5 << "A - set (macro: Jump)";
        QTest::newRow("macro gone") << 0x1E << 4 << 6 << "A - set (macro: )";
        QTest::newRow("media") << 0x1E << 7 << 7 << "A - set (media: <MEDIA_MUTE_8>)";
        QTest::newRow("function") << 0x1E << 8 << 10 << "A - set (function: <FUNC_KEY_DESC11>)";
        QTest::newRow("function out of range") << 0x1E << 8 << 11 << "A - set (function: )";
        QTest::newRow("disabled") << 0x1E << 1 << 0 << "A - set";
        QTest::newRow("second bank G key") << 266 << 7 << 0 << "G2 - set (media: <MEDIA_PALYER_1>)";
    }
    void toolTips() {
        QFETCH(int, index);
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(QString, tip);
        test::TableTexts texts;
        texts.table = {{"IDS_KEYBOARD_A", "A"},           {"KEY_PROMPT_SET", " - set"},
                       {"KEY_PROMPT_SINGLE", " (key: "},  {"KEY_PROMPT_MACRO", " (macro: "},
                       {"KEY_PROMPT_MEDIA", " (media: "}, {"KEY_PROMPT_FUNCTION", " (function: "}};
        const model::KeyAssignment record{static_cast<std::uint16_t>(type), 0, value, 0, 0};
        const model::MacroList macros = {macro(5, "Jump")};
        QCOMPARE(QString::fromStdString(
                     keyButtonToolTip(static_cast<model::KeyIndex>(index), record, macros, texts)),
                 tip);
    }

    // The last G key opens the macro page alone, centred, and assigns the chosen macro.
    void macroOnly() {
        const int index = 264;
        Bench bench;
        bench.configuration.edited.macros = {macro(3, "Run"), macro(9, "Jump")};
        QVERIFY(bench.open({model::shownExtraKeyIndex(8), model::kMacroKey}, true));
        for (const char* other :
             {"keyPageButton", "mediaPageButton", "functionPageButton", "clearButton"}) {
            QVERIFY(!bench.control(other)->isEnabled());
        }
        QVERIFY(!bench.control("capturedKey")->isVisible());
        QCOMPARE(bench.control<QAbstractButton>("title")->text(), "<MACRO_EDIT_TISHI>");
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(bench.dialog.geometry().center(), QRect(QPoint(), screen).center());
        bench.click("okButton");
        const model::KeyAssignment& stored = bench.record(static_cast<model::KeyIndex>(index));
        QCOMPARE(int{stored.type}, 4);
        QCOMPARE(stored.value, 3);
        QCOMPARE(int{stored.aux}, 1);
    }

    // On the macro page an action's cells are changed in place, by a double click: Enter
    // ends a delay's edit and Escape drops it, neither closes the dialog, and OK stores the
    // edited key, kind and delay in the macro.
    void actionCellsAreEditedInPlace() {
        Bench bench;
        bench.configuration.edited.macros = {macro(3, "Run", {{50, 0x1E, 0}, {40, 0x1E, 1}})};
        bench.record(kIndexB) = {4, 1, 3, 0, 0};
        QVERIFY(bench.open(kButtonB));
        auto* list = bench.control<widgets::SkinList>("actionList");
        const auto doubleClick = [list](int row, int column) {
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                               cellCentre(*list, row, column));
        };

        doubleClick(0, MacroPage::kDelayColumn);
        auto* delay = shownEditor<QLineEdit>(*list);
        QVERIFY(delay != nullptr);
        QTest::keyClicks(delay, "1234");
        QTest::keyClick(delay, Qt::Key_Return);
        QVERIFY(!delay->isVisible());
        QCOMPARE(list->cellText(0, MacroPage::kDelayColumn), "1230");
        doubleClick(1, MacroPage::kDelayColumn);
        QTest::keyClicks(shownEditor<QLineEdit>(*list), "999");
        QTest::keyClick(shownEditor<QLineEdit>(*list), Qt::Key_Escape);
        QCOMPARE(list->cellText(1, MacroPage::kDelayColumn), "40");

        // The second action becomes a press of B.
        doubleClick(1, MacroPage::kKindColumn);
        auto* kinds = shownEditor<QComboBox>(*list);
        QVERIFY(kinds != nullptr);
        QCOMPARE(kinds->count(), 2);
        QTest::keyClick(kinds->view(), Qt::Key_Up);
        QTest::keyClick(kinds->view(), Qt::Key_Return);
        doubleClick(1, MacroPage::kKeyColumn);
        auto* keys = shownEditor<QComboBox>(*list);
        QVERIFY(keys != nullptr);
        QCOMPARE(keys->currentText(), "<IDS_KEYBOARD_A>");
        QTest::keyClick(keys->view(), Qt::Key_Down); // key id 1, B
        QTest::keyClick(keys->view(), Qt::Key_Return);
        QVERIFY(bench.dialog.isVisible());
        QVERIFY(bench.applyEnabled());

        bench.click("okButton");
        const model::MacroRecord& stored = bench.configuration.edited.macros.at(0);
        QCOMPARE(int{stored.actionCount}, 2);
        const auto fields = [](const model::MacroAction& a) {
            return std::tuple(a.delay, int{a.key}, int{a.released});
        };
        QVERIFY(fields(stored.actions[0]) == std::tuple(1230U, 0x1E, 0));
        QVERIFY(fields(stored.actions[1]) == std::tuple(40U, 0x30, 0));
    }

    void promptsAreNeverCut_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("one line") << "Press a key.";
        QTest::newRow("two lines")
            << "Press the key this key should send, or choose a mouse action.";
        QTest::newRow("much longer")
            << "Drücken Sie die Taste, die diese Taste senden soll, oder wählen Sie eine "
               "Maustaste oder eine Bewegung des Mausrads aus der Liste darunter.";
    }
    // A prompt longer than its place, as in another language, wraps and shrinks to fit.
    void promptsAreNeverCut() {
        QFETCH(QString, text);
        Bench bench;
        bench.texts.table["SINGLE_STATIC"] = text.toStdString();
        QVERIFY(bench.open(kButtonB));
        auto* prompt = bench.control<QLabel>("singlePrompt");
        QCOMPARE(prompt->text(), text);
        QVERIFY(prompt->isVisible());
        QVERIFY2(prompt->heightForWidth(prompt->width()) <= prompt->height(),
                 qPrintable(QString::number(prompt->heightForWidth(prompt->width()))));
        QVERIFY(prompt->font().pointSizeF() >= 7);
    }

    // A key that plays a macro opens on that macro, and keys keep their meaning there.
    void macroPageOpensOnTheAssignedMacro() {
        Bench bench;
        bench.configuration.edited.macros = {macro(3, "Run"), macro(9, "Jump")};
        bench.record(kIndexB) = {4, 2, 9, 0, 0};
        QVERIFY(bench.open(kButtonB));
        QCOMPARE(int{bench.dialog.macroPage().selectedMacroId()}, 9);
        QVERIFY(bench.control("macroList")->isVisible());
        bench.click("okButton");
        QCOMPARE(int{bench.record(kIndexB).type}, 4);
        QCOMPARE(bench.record(kIndexB).value, 9);
    }
};

} // namespace velkan::editors

VELKAN_APP_TEST_MAIN(velkan::editors::KeyAssignmentDialogTest)
#include "key_assignment_dialog_test.moc"
