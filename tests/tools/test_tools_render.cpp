// dadiz-render as a user runs it, from a folder of their own.

#include "support/TempFolder.h"
#include "support/ToolProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/stat.h>

namespace {

// A relative OUTDIR is the user's folder, although the tool changes folder while it draws.
TEST(Render, RelativeOutputFolder)
{
    const testsupport::TTempFolder folder("dadiz-render");
    const std::string& home = folder.path();
    testsupport::TChildSetup setup;
    setup.cwd = home;
    testsupport::TChild render(DADIZ_RENDER_PATH, {"shots/png"}, setup);
    // It plays displays for some windows' pictures: a bound for a hung run only.
    EXPECT_EQ(render.finish(std::chrono::milliseconds(120000)), 0) << render.err;
    EXPECT_EQ(render.err.find("cannot write"), std::string::npos) << render.err;
    for (const char* name : {"main-ca.png", "main-example-en.png", "calibration-fr.png"}) {
        struct stat st{};
        EXPECT_EQ(stat((home + "/shots/png/" + name).c_str(), &st), 0) << name;
        EXPECT_GT(st.st_size, 1000) << name;
    }
}

} // namespace
