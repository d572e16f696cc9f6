#pragma once

// Shared by the win32 layer's sources only: the way to the current machine,
// the last error, and the call trace. It reaches into the machine, so the
// utility cannot include it.

#include "Machine.h"
#include "Win32Api.h"

#include <nlohmann/json.hpp>

#include <span>
#include <string>

namespace pervo::win32 {

using Json = nlohmann::ordered_json;

machine::Machine& CurrentMachine();
DWORD ErrorFor(machine::Error error);
void SetError(DWORD error);

// A window procedure handed to the machine, wrapped so that the program's own
// work inside it is traced even when the call that led to it is quiet.
machine::WindowProc WrapWindowProc(WNDPROC proc);
machine::WindowProc WrapDialogProc(DLGPROC proc);

// Builds one line of the call trace and writes it when the call returns.
class TracedCall {
public:
    explicit TracedCall(const char* function);
    TracedCall& Arg(Json value);
    TracedCall& Out(const char* name, Json value);
    void Return(Json value);

private:
    const char* m_function;
    Json m_args = Json::array();
    Json m_out;
};

bool TraceWanted();
Json Text(LPCSTR text);                 // null for a null pointer
Json Hex(const void* data, std::size_t size);
Json Pointer(const void* pointer);      // null, or true for a buffer the function writes
template <typename Tag>
Json HandleValue(Handle32<Tag> handle) { return handle.value; }

}  // namespace pervo::win32
