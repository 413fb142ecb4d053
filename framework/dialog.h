// Modal dialogs: the object is reached through the window's user data, and a
// derived class's message map (the macros below) expands to one function of
// plain `if` statements that routes messages to its On… handlers.
#pragma once

#include "framework/wnd.h"

#include <string>

struct CDataExchange {
  BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
  HWND m_hDialog;
};

// Binds a control to its wrapper (once; the handle does not change).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Copies a text member to or from a control.
void DDX_Text(CDataExchange* pDX, int id, std::wstring& value);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog until EndDialog; returns its result (-1 if it could not be created).
  virtual INT_PTR DoModal();
  // Shows the dialog modeless, owned by the parent given at construction;
  // false if it could not be created. Its keys (Tab, Enter, Escape, Alt
  // and a letter) work in whatever message loop runs, the owner's modal
  // one too. It lasts until DestroyWindow; m_hWnd is then null again.
  bool Create();
  void DestroyWindow() { ::DestroyWindow(m_hWnd); }
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
  // Puts the dialog's centre on its owner's, kept on the owner's monitor.
  void CenterOnOwner();

  // Inside a catch block at a Windows entry point on a dialog's thread (a
  // control's subclass procedure, say): the dialog that `window` belongs to
  // tells the user what was caught, and goes on.
  static void ReportCurrentException(HWND window) noexcept;

 protected:
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange*) {}
  // The message map. Returns true when the message was handled, with the
  // handler's result in `result`.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Shows `text`, what an exception that reached the dialog's thread was.
  virtual void OnException(const std::wstring& text);

  void OnSysCommand(UINT, LPARAM) { Default(); }
  void OnPaint() { Default(); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // A modal loop (a dialog's, a message box's) hands its messages to this
  // hook first; those of a modeless dialog get the dialog's key handling.
  static LRESULT CALLBACK ModelessKeys(int code, WPARAM wParam, LPARAM lParam);
  // One message at a time: what fails while it is up is the same story.
  void ShowException(const std::wstring& text) noexcept;

  bool m_showingException = false;
  bool m_modeless = false;  // made by Create

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
};

#define DECLARE_MESSAGE_MAP() \
 protected:                   \
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                             \
  bool theClass::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { \
    using TheBaseClass = baseClass;                                                        \
    (void)wParam;                                                                          \
    (void)lParam;

#define ON_WM_SYSCOMMAND()                                 \
  if (message == WM_SYSCOMMAND) {                          \
    OnSysCommand(static_cast<UINT>(wParam), lParam);       \
    return true;                                           \
  }

#define ON_WM_PAINT()      \
  if (message == WM_PAINT) { \
    OnPaint();             \
    return true;           \
  }

#define ON_WM_QUERYDRAGICON()                                        \
  if (message == WM_QUERYDRAGICON) {                                 \
    result = reinterpret_cast<LRESULT>(OnQueryDragIcon());           \
    return true;                                                     \
  }

#define ON_WM_TIMER()                         \
  if (message == WM_TIMER) {                  \
    OnTimer(static_cast<UINT_PTR>(wParam));   \
    return true;                              \
  }

#define ON_BN_CLICKED(id, handler)                                                  \
  if (message == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == BN_CLICKED) { \
    handler();                                                                      \
    return true;                                                                    \
  }

#define ON_NOTIFY(notifyCode, id, handler)                                             \
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == (id) && \
      reinterpret_cast<NMHDR*>(lParam)->code == (notifyCode)) {                  \
    handler(reinterpret_cast<NMHDR*>(lParam), &result);                          \
    return true;                                                                 \
  }

#define ON_MESSAGE(msg, handler)       \
  if (message == (msg)) {              \
    result = handler(wParam, lParam);  \
    return true;                       \
  }

#define END_MESSAGE_MAP()                                          \
  return TheBaseClass::OnMessage(message, wParam, lParam, result); \
  }
