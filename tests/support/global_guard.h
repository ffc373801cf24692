#pragma once
// Puts the shared state (Cn, CurrentOrder, CatalogueOpen, the dialog seam) back as it was
// when the guard goes; the test starts without a connection.

#include "global/global.h"

namespace testsupport {

class GlobalGuard {
public:
    GlobalGuard() : cn_(Global::setCn(nullptr)), dialogs_(Global::dialogs()), open_(Global::CatalogueOpen) {}
    ~GlobalGuard() {
        Global::CurrentOrder().Init();
        Global::setCn(std::move(cn_));
        Global::dialogs() = dialogs_;
        Global::CatalogueOpen = open_;
    }

private:
    std::unique_ptr<store::Connection> cn_;
    Global::Dialogs dialogs_;
    int16_t open_;
};

}  // namespace testsupport
