// The environment of every test program, set before main: compiled into each test program (not
// kept in the support library, where a linker could leave it out).

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

// Every test runs in one time zone and in the C locale (digits grouped by commas), whatever the
// machine's settings, and so does every program a test starts. Set before main, so before a
// window or the locale is set up.
const bool g_fixedEnvironment = [] {
#ifdef _WIN32
    _putenv_s("TZ", "UTC");
    _putenv_s("LC_ALL", "C");
    _tzset();
#else
    setenv("TZ", "UTC", 1);
    setenv("LC_ALL", "C", 1);
    tzset();
#endif
    return true;
}();

#ifndef _WIN32
// A home of its own for each test program, with the XDG folders inside it: whatever a test or a
// program it starts reads or writes as the user's settings, cache or data stays in there and is
// removed at the end. The user's own HOME is never seen.
class TestHome {
  public:
    TestHome() : m_owner(::getpid()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/olvo-home-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        m_path = pattern;
        const std::string config = m_path + "/.config", cache = m_path + "/.cache",
                          data = m_path + "/.local/share", runtime = m_path + "/.runtime";
        std::error_code ignored;
        for (const auto& folder : {config, cache, data, runtime})
            std::filesystem::create_directories(folder, ignored);
        // The runtime folder must be the user's alone, or Qt complains and picks its own.
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all, ignored);
        setenv("HOME", m_path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    ~TestHome() {
        if (::getpid() != m_owner) return;
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

  private:
    pid_t m_owner;
    std::string m_path;
};

const TestHome g_home;
#endif

}  // namespace
