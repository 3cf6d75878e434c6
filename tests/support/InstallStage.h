// The programs as users meet them: the build tree installed the way `cmake --install` lays
// it out for the configured prefix, staged with DESTDIR into a folder of its own.
#ifndef VARDEX_TESTS_INSTALLSTAGE_H
#define VARDEX_TESTS_INSTALLSTAGE_H

#include <string>

#include "TestUtil.h"

namespace testutil {

class InstallStage {
public:
    // Installs into a fresh folder that every user may enter (the spooler's own user runs the
    // filter from it); ok() is false when the install failed, with its output in log().
    InstallStage();
    bool ok() const { return ok_; }
    const std::string& log() const { return log_; }

    // The DESTDIR, and the installed files inside it.
    const std::string& root() const { return dir_.path(); }
    std::string vardex() const { return root() + VARDEX_INSTALL_BINDIR "/Vardex"; }
    std::string filter() const { return root() + VARDEX_FILTER_INSTALL_DIR "/larkspan"; }
    std::string ppd() const { return root() + VARDEX_PPD_INSTALL_DIR "/vardex-xps.ppd"; }
    std::string manPage(const std::string& name, int section) const;

private:
    TempDir dir_{true};
    bool ok_ = false;
    std::string log_;
};

}  // namespace testutil

#endif
