#include "TestEnv.h"

#include <QByteArray>
#include <QDir>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace veltry::test {

namespace {
struct Sandbox
{
    std::string root;
    Sandbox()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/veltry-test-XXXXXX";
        if (char* made = mkdtemp(pattern.data()))
            root = made;
        for (const char* sub : {"config", "data", "runtime"}) {
            const std::string dir = root + "/" + sub;
            QDir().mkpath(QString::fromStdString(dir));
        }
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
        chmod((root + "/runtime").c_str(), 0700);
        // Nor print on the machine's printers: the print service is looked for where none runs,
        // so the program sees no printer until a test names a file to print to.
        setenv("CUPS_SERVER", (root + "/runtime/no-print-service").c_str(), 1);
    }
    ~Sandbox()
    {
        if (!root.empty() && !std::getenv("VELTRY_KEEP_TEST_DIRS"))
            QDir(QString::fromStdString(root)).removeRecursively();
    }
};

Sandbox& sandbox()
{
    static Sandbox s;
    return s;
}

// Runs before main so that nothing can read the real environment first.
const bool g_installed = (sandbox(), true);
} // namespace

QString sandboxRoot()
{
    return QString::fromStdString(sandbox().root);
}

} // namespace veltry::test
