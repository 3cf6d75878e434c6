#include "InstallStage.h"

#include "Rendering.h"

namespace testutil {

InstallStage::InstallStage()
{
    int status = RunCommand("DESTDIR=" + Quote(dir_.path()) + " " + Quote(VARDEX_CMAKE_COMMAND) +
                                " --install " + Quote(VARDEX_BINARY_DIR) + " 2>&1",
                            &log_);
    ok_ = status == 0;
}

std::string InstallStage::manPage(const std::string& name, int section) const
{
    return root() + VARDEX_INSTALL_MANDIR "/man" + std::to_string(section) + "/" + name + "." +
           std::to_string(section) + ".gz";
}

}  // namespace testutil
