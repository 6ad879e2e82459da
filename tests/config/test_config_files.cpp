// Saving and loading against what a technician or a script may name: protected
// files and folders, links of every kind, devices, FIFOs, very long names.
// Each case runs in a child process with a time limit, so a blocking open or
// read fails the test instead of stalling it, and the permission cases run as
// an unprivileged user even when the tests run as root.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <optional>
#include <set>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "config/ConfigFile.h"
#include "config/RecordCodec.h"
#include "support/Bytes.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t Nobody = 65534;
using testsupport::readAll;
using testsupport::TBytes;
using testsupport::writeAll;
const TBytes oldBytes(RecordSize, 0x11);

TDisplayConfig newConfig()
{
    TDisplayConfig c;
    resetToDefaults(c);
    c.Address = 7;
    c.Relay2Setpoint = -1234;
    return c;
}

TBytes newBytes()
{
    const TRecord r = encodeRecord(newConfig());
    return {r.begin(), r.end()};
}

struct stat statOf(const fs::path& p)
{
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st;
}

// The user the unprivileged cases run as: nobody when the tests run as root.
uid_t plainUser()
{
    return ::geteuid() == 0 ? Nobody : ::geteuid();
}

// Runs body in a child (as plainUser() when asked) that may take 5 s; empty
// when it hung or could not become that user (then *noUser is set).
template <typename T>
std::optional<T> inChild(bool unprivileged, const std::function<T()>& body, bool* noUser = nullptr)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::alarm(5);
        // Standard output is a pipe here, whatever the test runner gives.
        int out[2];
        if (::pipe(out) == 0)
            ::dup2(out[1], STDOUT_FILENO);
        if (unprivileged && ::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0
                || ::setresuid(Nobody, Nobody, Nobody) != 0))
            _exit(3);
        // A changed user loses its own /proc entries (and so /dev/stdout) unless kept.
        ::prctl(PR_SET_DUMPABLE, 1);
        const T value = body();
        _exit(::write(pipeFds[1], &value, sizeof value) == sizeof value ? 0 : 1);
    }
    ::close(pipeFds[1]);
    T value{};
    const ssize_t n = ::read(pipeFds[0], &value, sizeof value);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (noUser)
        *noUser = WIFEXITED(status) && WEXITSTATUS(status) == 3;
    if (n != static_cast<ssize_t>(sizeof value))
        return std::nullopt;
    return value;
}

// A scratch folder the unprivileged user owns, removed at the end whatever its modes.
class Scratch {
public:
    Scratch()
    {
        char tmpl[] = "/tmp/dadiz-files-XXXXXX";
        if (::mkdtemp(tmpl) != nullptr) {
            dir = fs::canonical(tmpl);
            ::chmod(tmpl, 0755);
            if (::geteuid() == 0) {
                EXPECT_EQ(::chown(tmpl, Nobody, Nobody), 0) << std::strerror(errno);
            }
        }
    }
    ~Scratch()
    {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(dir, ec))
            if (e.is_directory(ec) && !e.is_symlink(ec))
                fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    std::set<fs::path> entries() const
    {
        std::set<fs::path> all;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            all.insert(e.path());
        return all;
    }
    fs::path dir;
    ino_t inode = 0; // what a case remembers of its file before the save
};

struct TSaveCase {
    const char* name;
    bool unprivileged;
    // Makes what the save meets and returns the name saved to; an empty path skips the case.
    fs::path (*prepare)(Scratch& s);
    TFileStep step; // None: the save succeeds
    int error;
    void (*check)(const Scratch& s);
    bool language = false; // writes "Conf.dad" (byte 3) instead of a record
};

fs::path protectedFile(Scratch& s, const char* name)
{
    const fs::path p = s.dir / name;
    writeAll(p, name == std::string("Conf.dad") ? TBytes{2} : oldBytes);
    ::chmod(p.c_str(), 0444);
    EXPECT_EQ(::chown(p.c_str(), plainUser(), plainUser()), 0) << std::strerror(errno);
    return p;
}

const TSaveCase saveCases[] = {
    {"WriteProtectedFile", true, [](Scratch& s) { return protectedFile(s, "ro.cfg"); }, TFileStep::Open, EACCES,
     [](const Scratch& s) {
         EXPECT_EQ(readAll(s.dir / "ro.cfg"), oldBytes);
         EXPECT_EQ(statOf(s.dir / "ro.cfg").st_mode & 0777, 0444u);
     }},
    {"WriteProtectedLanguageFile", true, [](Scratch& s) { return protectedFile(s, "Conf.dad"); }, TFileStep::Open,
     EACCES, [](const Scratch& s) { EXPECT_EQ(readAll(s.dir / "Conf.dad"), TBytes{2}); }, true},
    {"WritableFileInReadOnlyFolderIsWrittenInPlace", true,
     [](Scratch& s) {
         const fs::path folder = s.dir / "locked", p = folder / "w.cfg";
         fs::create_directory(folder);
         writeAll(p, oldBytes);
         ::chmod(p.c_str(), 0666);
         EXPECT_EQ(::chown(p.c_str(), plainUser(), plainUser()), 0) << std::strerror(errno);
         EXPECT_EQ(::chown(folder.c_str(), plainUser(), plainUser()), 0) << std::strerror(errno);
         ::chmod(folder.c_str(), 0555);
         s.inode = statOf(p).st_ino;
         return p;
     },
     TFileStep::None, 0,
     [](const Scratch& s) {
         EXPECT_EQ(readAll(s.dir / "locked/w.cfg"), newBytes());
         EXPECT_EQ(statOf(s.dir / "locked/w.cfg").st_ino, s.inode);
     }},
    {"AnotherUsersWritableFileKeepsItsOwner", true,
     [](Scratch& s) {
         if (::geteuid() != 0)
             return fs::path(); // only root can give a file away
         const fs::path p = s.dir / "theirs.cfg";
         writeAll(p, oldBytes);
         ::chmod(p.c_str(), 0666);
         EXPECT_EQ(::chown(p.c_str(), Nobody - 1, Nobody - 1), 0) << std::strerror(errno);
         return p;
     },
     TFileStep::None, 0,
     [](const Scratch& s) {
         EXPECT_EQ(readAll(s.dir / "theirs.cfg"), newBytes());
         EXPECT_EQ(statOf(s.dir / "theirs.cfg").st_uid, Nobody - 1);
         EXPECT_EQ(statOf(s.dir / "theirs.cfg").st_gid, Nobody - 1);
     }},
    {"HardLinksStayLinked", false,
     [](Scratch& s) {
         writeAll(s.dir / "a.cfg", oldBytes);
         fs::create_hard_link(s.dir / "a.cfg", s.dir / "b.cfg");
         return s.dir / "a.cfg";
     },
     TFileStep::None, 0,
     [](const Scratch& s) {
         EXPECT_EQ(readAll(s.dir / "b.cfg"), newBytes());
         EXPECT_EQ(statOf(s.dir / "a.cfg").st_ino, statOf(s.dir / "b.cfg").st_ino);
     }},
    {"ChainOfLinksWritesTheFileAtItsEnd", false,
     [](Scratch& s) {
         writeAll(s.dir / "real.cfg", oldBytes);
         ::chmod((s.dir / "real.cfg").c_str(), 0640);
         fs::create_directory(s.dir / "links");
         fs::create_symlink("../real.cfg", s.dir / "links/one");
         fs::create_symlink("links/one", s.dir / "two");
         return s.dir / "two";
     },
     TFileStep::None, 0,
     [](const Scratch& s) {
         EXPECT_TRUE(fs::is_symlink(s.dir / "two") && fs::is_symlink(s.dir / "links/one"));
         EXPECT_EQ(readAll(s.dir / "real.cfg"), newBytes());
         EXPECT_EQ(statOf(s.dir / "real.cfg").st_mode & 07777, 0640u);
     }},
    {"DanglingLinkGetsItsTargetCreated", false,
     [](Scratch& s) {
         fs::create_symlink("made.cfg", s.dir / "link.cfg");
         return s.dir / "link.cfg";
     },
     TFileStep::None, 0,
     [](const Scratch& s) {
         EXPECT_TRUE(fs::is_symlink(s.dir / "link.cfg"));
         EXPECT_EQ(readAll(s.dir / "made.cfg"), newBytes());
     }},
    {"LongestLegalName", false, [](Scratch& s) { return s.dir / std::string(245, 'n'); }, TFileStep::None, 0,
     [](const Scratch& s) { EXPECT_EQ(readAll(s.dir / std::string(245, 'n')), newBytes()); }},
    {"Fifo", false,
     [](Scratch& s) {
         ::mkfifo((s.dir / "fifo").c_str(), 0666);
         return s.dir / "fifo";
     },
     TFileStep::NotRegular, EINVAL, [](const Scratch& s) { EXPECT_TRUE(fs::is_fifo(s.dir / "fifo")); }},
    {"DeviceNode", false,
     [](Scratch& s) {
         const fs::path p = s.dir / "node";
         return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? p : fs::path();
     },
     TFileStep::NotRegular, EINVAL, [](const Scratch& s) { EXPECT_TRUE(fs::is_character_file(s.dir / "node")); }},
    // The cases that name the system's own devices run unprivileged, so that a
    // fault could never replace them.
    {"LinkToDevice", true,
     [](Scratch& s) {
         fs::create_symlink("/dev/null", s.dir / "null.cfg");
         return s.dir / "null.cfg";
     },
     TFileStep::NotRegular, EINVAL,
     [](const Scratch& s) {
         EXPECT_TRUE(fs::is_symlink(s.dir / "null.cfg"));
         EXPECT_TRUE(fs::is_character_file("/dev/null"));
     }},
    {"DevNull", true, [](Scratch&) { return fs::path("/dev/null"); }, TFileStep::NotRegular, EINVAL,
     [](const Scratch&) { EXPECT_TRUE(fs::is_character_file("/dev/null")); }},
    {"StandardOutputPipe", true, [](Scratch&) { return fs::path("/dev/stdout"); }, TFileStep::NotRegular, EINVAL,
     [](const Scratch&) {}},
};

void PrintTo(const TSaveCase& c, std::ostream* os)
{
    *os << c.name;
}

class SaveTarget : public ::testing::TestWithParam<TSaveCase> {};

TEST_P(SaveTarget, SavesExactlyWhereCreateOrTruncateWouldAndOnlyOverRegularFiles)
{
    const TSaveCase& c = GetParam();
    Scratch s;
    ASSERT_FALSE(s.dir.empty());
    const fs::path target = c.prepare(s);
    if (target.empty())
        GTEST_SKIP() << "this case needs root to be set up";
    const std::set<fs::path> before = s.entries();
    bool noUser = false;
    const auto r = inChild<FileResult>(
        c.unprivileged,
        [&] { return c.language ? writeLanguageFile(3, target) : saveConfigFile(target, newConfig()); }, &noUser);
    if (noUser)
        GTEST_SKIP() << "cannot run as an unprivileged user here (no right to change user)";
    ASSERT_TRUE(r) << "the save hung";
    EXPECT_EQ(r->ok, c.step == TFileStep::None);
    EXPECT_EQ(r->failedStep, c.step);
    EXPECT_EQ(r->error, c.error);
    c.check(s);
    // Nothing is left beside the target but the file a save may create.
    std::vector<fs::path> left;
    for (const fs::path& p : s.entries())
        if (!before.contains(p) && p != fs::weakly_canonical(target))
            left.push_back(p);
    EXPECT_EQ(left, std::vector<fs::path>{});
}

INSTANTIATE_TEST_SUITE_P(Files, SaveTarget, ::testing::ValuesIn(saveCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(LoadTarget, OnlyRegularFilesAreReadAndNothingWaits)
{
    Scratch s;
    ASSERT_EQ(::mkfifo((s.dir / "fifo").c_str(), 0666), 0);
    fs::create_symlink("fifo", s.dir / "fifo-link");
    const struct {
        fs::path path;
        int error;
        TFileKind kind;
    } cases[] = {
        {s.dir / "fifo", EINVAL, TFileKind::Fifo},  {s.dir / "fifo-link", EINVAL, TFileKind::Fifo},
        {"/dev/null", EINVAL, TFileKind::Device},   {"/dev/zero", EINVAL, TFileKind::Device},
        {s.dir, EISDIR, TFileKind::Folder},
    };
    for (const auto& c : cases) {
        struct TLoad {
            FileResult result;
            bool unchanged;
        };
        const auto r = inChild<TLoad>(false, [&] {
            TDisplayConfig cfg = newConfig();
            const FileResult loaded = loadConfigFile(c.path, cfg);
            return TLoad{loaded, encodeRecord(cfg) == encodeRecord(newConfig())};
        });
        ASSERT_TRUE(r) << c.path << ": the load hung";
        EXPECT_EQ(r->result.failedStep, TFileStep::NotRegular) << c.path;
        EXPECT_EQ(r->result.error, c.error) << c.path;
        EXPECT_EQ(r->result.kind, c.kind) << c.path;
        EXPECT_TRUE(r->unchanged) << c.path << ": the configuration changed";
        const auto language = inChild<std::uint8_t>(false, [&] { return readLanguageFile(c.path); });
        ASSERT_TRUE(language) << c.path << ": reading the language hung";
        EXPECT_EQ(*language, 0) << c.path;
    }
}

TEST(FileErrors, EveryReasonReadsInTheUsersLanguage)
{
    const std::string p = "/x/a.cfg";
    const FileResult denied{false, EACCES, TFileStep::Open};
    EXPECT_EQ(describeFileError(p, denied, TLanguage::Catalan), "/x/a.cfg: permís denegat.");
    EXPECT_EQ(describeFileError(p, denied, TLanguage::Spanish), "/x/a.cfg: permiso denegado.");
    EXPECT_EQ(describeFileError(p, denied, TLanguage::French), "/x/a.cfg : permission refusée.");
    EXPECT_EQ(describeFileError(p, denied, TLanguage::English), "/x/a.cfg: permission denied.");
    EXPECT_EQ(describeFileError(p, {false, 4242, TFileStep::Write}, TLanguage::English), "/x/a.cfg: system error 4242.");

    // No failure is left in English in another language.
    std::vector<FileResult> failures{{false, EINVAL, TFileStep::Short}};
    for (TFileKind kind : {TFileKind::Folder, TFileKind::Device, TFileKind::Fifo, TFileKind::Socket})
        failures.push_back({false, kind == TFileKind::Folder ? EISDIR : EINVAL, TFileStep::NotRegular, kind});
    for (int error = 1; error < 134; ++error)
        failures.push_back({false, error, TFileStep::Open});
    std::vector<std::string> untranslated;
    for (const FileResult& f : failures) {
        const std::string english = describeFileError(p, f, TLanguage::English);
        for (TLanguage language : {TLanguage::Catalan, TLanguage::Spanish, TLanguage::French}) {
            const std::string text = describeFileError(p, f, language);
            if (text == english || text.rfind(p, 0) != 0)
                untranslated.push_back(text + " (language " + std::to_string(languagePlace(language)) + ")");
        }
    }
    EXPECT_EQ(untranslated, std::vector<std::string>{});
}

} // namespace
