#include "engine/install/retry.h"

#include "platform/prompt.h"
#include "res/texts.h"
#include "util/syserr.h"

namespace install {

bool Retrying(const std::function<Try(std::string& why)>& attempt) {
    for (;;) {
        std::string why;
        switch (attempt(why)) {
        case Try::Done: return true;
        case Try::Stop: return false;
        case Try::Failed: break;
        }
        if (platform::AppMessageBox(why, MB_ICONEXCLAMATION | MB_RETRYCANCEL) != IDRETRY) return false;
    }
}

bool RetryingSystem(const std::function<DWORD()>& attempt) {
    return Retrying([&](std::string& why) {
        const DWORD err = attempt();
        if (!err) return Try::Done;
        why = GetSystemErrorText(err);
        return Try::Failed;
    });
}

void RefuseLink(const std::string& path) {
    platform::AppMessageBox(std::string(texts::kDestinationLink) + path, MB_ICONSTOP | MB_OK);
}

}  // namespace install
