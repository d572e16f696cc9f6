#include "Win32Internal.h"

#include <cassert>

namespace pervo::win32 {
namespace {
thread_local int g_quietDepth = 0;
thread_local DWORD g_lastError = 0;
}  // namespace

machine::Machine& CurrentMachine()
{
    machine::Machine* current = machine::Machine::Current();
    assert(current && "a win32 function was called with no machine installed");
    return *current;
}

void SetError(DWORD error)
{
    g_lastError = error;
}

DWORD ErrorFor(machine::Error error)
{
    switch (error) {
    case machine::Error::None:
        return ERROR_SUCCESS;
    case machine::Error::NotFound:
        return ERROR_FILE_NOT_FOUND;
    case machine::Error::Busy:
    case machine::Error::AccessDenied:
        return ERROR_ACCESS_DENIED;
    case machine::Error::AlreadyExists:
        return ERROR_ALREADY_EXISTS;
    case machine::Error::DiskFull:
        return ERROR_DISK_FULL;
    case machine::Error::Corrupt:
        return ERROR_REGISTRY_CORRUPT;
    case machine::Error::Io:
        return ERROR_GEN_FAILURE;
    case machine::Error::InvalidArgument:
        return ERROR_INVALID_PARAMETER;
    case machine::Error::NotSupported:
        return ERROR_NOT_SUPPORTED;
    }
    return ERROR_GEN_FAILURE;
}

bool TraceWanted()
{
    machine::Machine* current = machine::Machine::Current();
    return current && current->GetTrace().IsOn() && g_quietDepth == 0 && !current->SessionEnded();
}

TracedCall::TracedCall(const char* function) : m_function(function) {}

TracedCall& TracedCall::Arg(Json value)
{
    m_args.push_back(std::move(value));
    return *this;
}

TracedCall& TracedCall::Out(const char* name, Json value)
{
    m_out[name] = std::move(value);
    return *this;
}

void TracedCall::Return(Json value)
{
    if (!TraceWanted())
        return;
    Json line;
    line["fn"] = m_function;
    line["args"] = std::move(m_args);
    line["ret"] = std::move(value);
    if (!m_out.is_null())
        line["out"] = std::move(m_out);
    CurrentMachine().GetTrace().WriteLine(line.dump(-1, ' ', false, Json::error_handler_t::replace));
}

Json Text(LPCSTR text)
{
    return text ? Json(text) : Json(nullptr);
}

Json Hex(const void* data, std::size_t size)
{
    if (!data)
        return nullptr;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hex.push_back(kDigits[bytes[i] >> 4]);
        hex.push_back(kDigits[bytes[i] & 0xF]);
    }
    return hex;
}

Json Pointer(const void* pointer)
{
    return pointer ? Json(true) : Json(nullptr);
}

machine::WindowProc WrapWindowProc(WNDPROC proc)
{
    return [proc](machine::Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        const int saved = g_quietDepth;
        g_quietDepth = 0;
        const LRESULT result = proc(HWND{hwnd}, message, wParam, lParam);
        g_quietDepth = saved;
        return result;
    };
}

machine::WindowProc WrapDialogProc(DLGPROC proc)
{
    return [proc](machine::Hwnd hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        const int saved = g_quietDepth;
        g_quietDepth = 0;
        const INT_PTR result = proc(HWND{hwnd}, message, wParam, lParam);
        g_quietDepth = saved;
        return result;
    };
}

}  // namespace pervo::win32

using namespace pervo::win32;

Win32QuietCalls::Win32QuietCalls()
{
    ++g_quietDepth;
}

Win32QuietCalls::~Win32QuietCalls()
{
    --g_quietDepth;
}

DWORD WINAPI GetLastError()
{
    return g_lastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    g_lastError = dwErrCode;
}
