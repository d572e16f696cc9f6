#pragma once

#include "Win32Api.h"

class CCmdTarget;

// One row of a message table: the message (WM_COMMAND rows also carry the
// notification code and a range of command ids) and the handler that takes it.
using AfxHandler = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AfxHandler handler;
};

// A class's message table and the way to its base class's table; tables are
// searched from the most derived class to its bases.
struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// What the framework's classes have in common: a message table and the
// routing of commands through it.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Looks for a WM_COMMAND row for this id and code along the table chain
    // and runs it; TRUE when one was found.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

    // Looks for a row for any other message; TRUE (and the handler's result)
    // when one was found.
    BOOL DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;

// The rows are lambdas written inside a member of the class, so they may call
// its protected handlers, and each checks its handler's signature.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                 \
    {                                                                               \
        using ThisClass [[maybe_unused]] = theClass;                                \
        using TheBaseClass = baseClass;                                             \
        static const AFX_MSGMAP_ENTRY kEntries[] = {

#define END_MESSAGE_MAP()                                                          \
            {0, 0, 0, 0, nullptr}                                                  \
        };                                                                         \
        static const AFX_MSGMAP kMap = {&TheBaseClass::GetThisMessageMap, &kEntries[0]}; \
        return &kMap;                                                              \
    }

#define AFX_TARGET static_cast<ThisClass*>(target)

#define ON_COMMAND(id, memberFxn)                                                         \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id),                           \
     [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { AFX_TARGET->memberFxn(); return 0; }},

#define ON_BN_CLICKED(id, memberFxn)                                                      \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), static_cast<UINT>(id),                  \
     [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { AFX_TARGET->memberFxn(); return 0; }},

#define ON_MESSAGE(message, memberFxn)                                                    \
    {message, 0, 0, 0,                                                                     \
     [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT { return AFX_TARGET->memberFxn(wParam, lParam); }},

#define ON_WM_SYSCOMMAND()                                                                \
    {WM_SYSCOMMAND, 0, 0, 0, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT { \
         AFX_TARGET->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0; }},

#define ON_WM_PAINT()                                                                     \
    {WM_PAINT, 0, 0, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { AFX_TARGET->OnPaint(); return 0; }},

#define ON_WM_QUERYDRAGICON()                                                             \
    {WM_QUERYDRAGICON, 0, 0, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {      \
         return static_cast<LRESULT>(AFX_TARGET->OnQueryDragIcon().value); }},

#define ON_WM_CLOSE()                                                                     \
    {WM_CLOSE, 0, 0, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { AFX_TARGET->OnClose(); return 0; }},

#define afx_msg
