#include "platform/atomic_file.h"
#include "platform/ini_file.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace velkan::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

Bytes utf16(const std::u16string& text) {
    Bytes out{0xFF, 0xFE};
    for (const char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

Bytes withOddByte(Bytes content) {
    content.push_back(0x41);
    return content;
}

std::string times(std::string_view text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += text;
    }
    return out;
}

// What stood on disk each time a write forced a file or folder to it.
struct SyncSeen {
    bool folder = false;
    std::optional<Bytes> forced; // the file being forced, read back through its descriptor
    std::optional<Bytes> target; // the file the write is meant for

    friend bool operator==(const SyncSeen&, const SyncSeen&) = default;
    friend void PrintTo(const SyncSeen& seen, std::ostream* out) {
        const auto text = [](const std::optional<Bytes>& b) {
            return b ? '"' + std::string(b->begin(), b->end()) + '"' : std::string("none");
        };
        *out << (seen.folder ? "folder" : "file " + text(seen.forced)) << ", target "
             << text(seen.target);
    }
};

// The sync step of the writes under test: records what it sees, then syncs, or fails as a
// disk could.
struct SyncWatch {
    static inline fs::path target;
    static inline int fileResult = 0;
    static inline std::vector<SyncSeen> seen;

    static int step(int fd) {
        SyncSeen now;
#ifdef _WIN32
        // Windows makes the rename durable by itself; only files are forced here.
        std::wstring path(1024, L'\0');
        const DWORD length =
            ::GetFinalPathNameByHandleW(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), path.data(),
                                        static_cast<DWORD>(path.size()), 0);
        path.resize(length < path.size() ? length : 0);
        now.forced = readWholeFile(path);
#else
        struct stat info {};
        now.folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
        if (!now.folder) {
            now.forced = readWholeFile("/proc/self/fd/" + std::to_string(fd));
        }
#endif
        now.target = readWholeFile(target);
        seen.push_back(now);
        if (!now.folder && fileResult != 0) {
            return fileResult;
        }
#ifdef _WIN32
        return ::_commit(fd);
#else
        return ::fsync(fd);
#endif
    }
};

class IniFileTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::path(std::getenv("HOME")) /
                  testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path put(const char* name, const Bytes& content) {
        const fs::path file = folder_ / name;
        EXPECT_TRUE(writeFileAtomically(file, content));
        return file;
    }
    // The file `name` of the test folder, holding `content` or missing.
    fs::path startWith(const char* name, const std::optional<Bytes>& content) {
        const fs::path file = folder_ / name;
        fs::remove(file);
        if (content) {
            put(name, *content);
        }
        return file;
    }
    std::vector<fs::path> listing() const {
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

TEST_F(IniFileTest, LookupsFollowTheDesktopRules) {
    const std::string emoji = "\xF0\x9F\x98\x80"; // one character, two UTF-16 units
    struct Case {
        const char* name;
        std::optional<Bytes> file; // nullopt: no file at all
        const char* section;
        const char* key;
        std::string expected;
        std::size_t buffer = kProfileStringBuffer;
    };
    const Case cases[] = {
        {"any case, blanks trimmed", bytes("[Text]\nmain_Caption =  Hello  there \n"), "TEXT",
         "MAIN_CAPTION", "Hello  there"},
        {"missing file", std::nullopt, "TEXT", "KEY", "#Error"},
        {"missing section", bytes("[LIGHT]\nKEY=1\n"), "TEXT", "KEY", "#Error"},
        {"missing key", bytes("[TEXT]\nOTHER=1\n"), "TEXT", "KEY", "#Error"},
        {"empty value", bytes("[TEXT]\nKEY=\n"), "TEXT", "KEY", ""},
        {"key above every section", bytes("KEY=1\n[TEXT]\n"), "TEXT", "KEY", "#Error"},
        {"comment", bytes("[TEXT]\n;KEY=1\n"), "TEXT", "KEY", "#Error"},
        {"one pair of quotes goes", bytes("[T]\nK=\"\"a b \"\"\n"), "T", "K", "\"a b \""},
        {"lone quote stays", bytes("[T]\nK=\"a\n"), "T", "K", "\"a"},
        {"equals inside the value", bytes("[T]\nK=1,2=3\n"), "T", "K", "1,2=3"},
        {"first section wins", bytes("[T]\nA=1\n[t]\nA=2\nB=3\n"), "T", "B", "#Error"},
        {"first key wins", bytes("[T]\nA=1\na=2\n"), "T", "A", "1"},
        {"lone CR line ends", bytes("[T]\rA=1\rB=2"), "T", "B", "2"},
        {"CRLF line ends", bytes("[T]\r\nA=1\r\nB=2\r\n"), "T", "B", "2"},
        {"UTF-8 with its mark", bytes("\xEF\xBB\xBF[T]\nK=caf\xC3\xA9\n"), "T", "K", "caf\xC3\xA9"},
        {"UTF-16LE", utf16(u"[T]\r\nK=Gr\u00FC\u00DFe \U0001F600\r\n"), "T", "K",
         "Gr\xC3\xBC\xC3\x9F"
         "e " +
             emoji},
        {"bad UTF-8", bytes("[T]\nK=a\xFF\xE2\x82z\n"), "T", "K", "a\uFFFD\uFFFDz"},
        {"unpaired surrogate, odd byte",
         withOddByte(utf16(std::u16string(u"[T]\nK=") + char16_t{0xDC00} + u"x")), "T", "K",
         "\uFFFDx\uFFFD"},
        {"cut to 259", bytes("[T]\nK=" + std::string(300, 'a')), "T", "K", std::string(259, 'a')},
        {"cut counts characters, not bytes", bytes("[T]\nK=" + times("\xC3\xA9", 300)), "T", "K",
         times("\xC3\xA9", 259)},
        {"a pair that would straddle the cut goes whole",
         bytes("[T]\nK=" + std::string(258, 'a') + emoji), "T", "K", std::string(258, 'a')},
        {"a pair that fits stays", bytes("[T]\nK=" + std::string(257, 'a') + emoji + "b"), "T", "K",
         std::string(257, 'a') + emoji},
        {"the default is cut as well", std::nullopt, "T", "K", "#Er", 4},
        {"no room at all", bytes("[T]\nK=1\n"), "T", "K", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = c.file ? put("lookup.ini", *c.file) : folder_ / "none.ini";
        EXPECT_EQ(getPrivateProfileString(c.section, c.key, "#Error", file, c.buffer), c.expected);
    }
}

TEST_F(IniFileTest, WritesKeepEverythingTheyDoNotChange) {
    struct Case {
        const char* name;
        std::optional<Bytes> before;
        const char* section;
        const char* key;
        const char* value;
        Bytes after;
    };
    const Case cases[] = {
        {"a missing file is created as UTF-16LE", std::nullopt, "KEYCOLOR", "DengCheck", "1",
         utf16(u"[KEYCOLOR]\r\nDengCheck=1\r\n")},
        {"replaced in place, spelling and comments kept",
         bytes("; colours\n[KeyColor]\n  dengcheck = 0 ; old\n\n[Next]\nx=1"), "KEYCOLOR",
         "DengCheck", "1",
         bytes("; colours\r\n[KeyColor]\r\ndengcheck=1\r\n\r\n[Next]\r\nx=1\r\n")},
        {"added at the end of its section", bytes("[A]\r\nk=1\r\n\r\n[B]\r\n"), "a", "new", "2",
         bytes("[A]\r\nk=1\r\nnew=2\r\n\r\n[B]\r\n")},
        {"a new section goes last", bytes("[A]\r\nk=1"), "Mode2", "color", "0,0,0",
         bytes("[A]\r\nk=1\r\n[Mode2]\r\ncolor=0,0,0\r\n")},
        {"UTF-16LE stays UTF-16LE", utf16(u"[A]\r\nk=1\r\n"), "A", "k", "\xC3\xA9",
         utf16(u"[A]\r\nk=\u00E9\r\n")},
        {"the UTF-8 mark stays", bytes("\xEF\xBB\xBF[A]\r\n"), "A", "k", "1",
         bytes("\xEF\xBB\xBF[A]\r\nk=1\r\n")},
        {"undecodable lines stay byte for byte", bytes("[A]\nbad=\xFF\xC3\nk=1\n"), "A", "k", "2",
         bytes("[A]\r\nbad=\xFF\xC3\r\nk=2\r\n")},
        {"unpaired surrogates stay",
         utf16(std::u16string(u"[A]\r\nb=") + char16_t{0xD800} + u"\r\n"), "A", "k", "1",
         utf16(std::u16string(u"[A]\r\nb=") + char16_t{0xD800} + u"\r\nk=1\r\n")},
        {"a line break cannot split the line", bytes("[A]\r\n"), "A", "k", "one\ntwo",
         bytes("[A]\r\nk=one two\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = startWith("settings.ini", c.before);
        ASSERT_TRUE(writePrivateProfileString(c.section, c.key, c.value, file));
        EXPECT_EQ(readWholeFile(file), c.after);
        EXPECT_EQ(listing().size(), 1u) << "no temporary file left behind";
    }
}

TEST_F(IniFileTest, WhatCannotBeReadIsNeverOverwritten) {
    const Bytes huge = bytes("[A]\r\nk=" + std::string(5u << 20, 'x'));
    const fs::path file = put("huge.ini", huge);
    EXPECT_FALSE(writePrivateProfileString("A", "k", "1", file));
    EXPECT_EQ(readWholeFile(file, 6u << 20), huge);
    EXPECT_EQ(getPrivateProfileString("A", "k", "d", file), "d");
    EXPECT_FALSE(writePrivateProfileString("A", "k", "1", folder_)) << "a folder";
    EXPECT_FALSE(writePrivateProfileString("A", "k", "1", folder_ / "no" / "x.ini"))
        << "missing folders are not created";
}

TEST_F(IniFileTest, WholeFileReadsRefuseWhatIsNotAPlainFileOfAllowedSize) {
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((folder_ / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readWholeFile(folder_ / "fifo")) << "no wait for a writer";
#endif
    put("ten", Bytes(10, 7));
    put("empty", {});
    EXPECT_FALSE(readWholeFile(folder_)) << "a folder";
    EXPECT_FALSE(readWholeFile(folder_ / "missing"));
    EXPECT_FALSE(readWholeFile(folder_ / "ten", 9));
    EXPECT_EQ(readWholeFile(folder_ / "ten", 10), Bytes(10, 7));
    EXPECT_EQ(readWholeFile(folder_ / "empty"), Bytes{});
}

#ifndef _WIN32
// File modes and symbolic links are POSIX matters.
TEST_F(IniFileTest, AtomicWritesKeepModeAndLinks) {
    const fs::path file = put("private", bytes("old"));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace);
    fs::create_symlink(file, folder_ / "link");
    ASSERT_TRUE(writeFileAtomically(folder_ / "link", bytes("new")));
    EXPECT_TRUE(fs::is_symlink(folder_ / "link"));
    EXPECT_EQ(readWholeFile(file), bytes("new"));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(listing().size(), 2u);
}

#endif

// A power cut after the rename must find the new data on disk, never an empty file: the data
// is forced out before the rename, and the rename itself after it.
TEST_F(IniFileTest, AtomicWritesForceTheDataToDiskBeforeTheRename) {
    struct Case {
        const char* label;
        std::optional<Bytes> before;
        int syncResult;
    };
    const Case cases[] = {
        {"new file", std::nullopt, 0},
        {"replacing", bytes("old"), 0},
        {"the disk fails the sync", bytes("old"), -1},
    };
    const Bytes data = bytes("new content");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path file = startWith("settings", c.before);
        const auto before = listing();
        SyncWatch::target = file;
        SyncWatch::fileResult = c.syncResult;
        SyncWatch::seen.clear();
        const FileSyncStep previous = replaceFileSyncStep(SyncWatch::step);
        const bool written = writeFileAtomically(file, data);
        replaceFileSyncStep(previous);

        const bool syncs = c.syncResult == 0;
        std::vector<SyncSeen> expected = {{false, data, c.before}};
#ifndef _WIN32
        if (syncs) {
            expected.push_back({true, std::nullopt, data});
        }
#endif
        EXPECT_EQ(SyncWatch::seen, expected);
        EXPECT_EQ(written, syncs);
        EXPECT_EQ(readWholeFile(file), syncs ? data : c.before);
        if (!syncs) {
            EXPECT_EQ(listing(), before) << "no temporary file left behind";
        }
    }
}

// Failures that hold for root as well: the tests may run with every permission.
TEST_F(IniFileTest, FailedAtomicWritesLeaveTheOldFileAndNoTemporary) {
    const Bytes old = bytes("old content");
    const fs::path file = put("target", old);
    fs::create_directories(folder_ / "folder" / "inside");

    const auto before = listing();
    EXPECT_FALSE(writeFileAtomically(file / "below a file", bytes("x")));
    EXPECT_FALSE(writeFileAtomically(folder_ / "folder", bytes("x")));
#ifndef _WIN32
    {
        // A disk that fills up half way: writes beyond the size limit fail.
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = writeFileAtomically(file, Bytes(1000, 1));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(written);
    }
#endif
    EXPECT_EQ(readWholeFile(file), old);
    EXPECT_EQ(listing(), before);
    EXPECT_TRUE(fs::is_directory(folder_ / "folder" / "inside"));
}

} // namespace
} // namespace velkan::platform
