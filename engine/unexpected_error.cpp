#include "engine/unexpected_error.h"

#include <cstdio>
#include <new>
#include <system_error>

#include "res/texts.h"
#include "platform/file.h"
#include "platform/prompt.h"

DWORD ErrorCodeOf(const std::exception_ptr& error, DWORD lastError) {
    try {
        std::rethrow_exception(error);
    } catch (const platform::FileException& e) {
        return e.error;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::system_error& e) {
        return static_cast<DWORD>(e.code().value());
    } catch (...) {
        return lastError;
    }
}

void ShowUnexpectedError(DWORD code) {
    char text[512];
    std::snprintf(text, sizeof text, texts::kPrepareErrorFormat, static_cast<long>(code));
    platform::AppMessageBox(text, MB_ICONSTOP | MB_OK);
}
