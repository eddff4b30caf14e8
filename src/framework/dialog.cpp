#include "framework/dialog.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (!control.m_hWnd) control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlg);
}

CDialog::CDialog(UINT idTemplate, CWnd* parent) : m_nIDTemplate(idTemplate), m_pParentWnd(parent) {}

CDialog::~CDialog() {
  if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  // The object takes over the window here; from now on its WindowProc sees
  // every message ahead of the dialog manager.
  CDialog* self = reinterpret_cast<CDialog*>(lParam);
  if (!self->SubclassWindow(hWnd)) return TRUE;
  CurrentMessage saved = self->m_current;
  self->m_current = {message, 0, lParam};
  BOOL result = self->OnInitDialog();
  self->m_current = saved;
  return result;
}

BOOL CDialog::Create(UINT idTemplate, CWnd* parent) {
  m_nIDTemplate = idTemplate;
  if (parent) m_pParentWnd = parent;
  m_bModal = false;
  HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  HWND h = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), owner, DialogProc,
                                reinterpret_cast<LPARAM>(this));
  return h != nullptr;
}

INT_PTR CDialog::DoModal() {
  HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  m_bModal = true;
  m_bInModalLoop = true;
  m_nModalResult = -1;
  HWND h = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), owner, DialogProc,
                                reinterpret_cast<LPARAM>(this));
  if (!h) {
    m_bModal = m_bInModalLoop = false;
    return -1;
  }
  bool ownerDisabled = owner && ::IsWindowEnabled(owner);
  if (ownerDisabled) ::EnableWindow(owner, FALSE);
  if (m_bInModalLoop) ::ShowWindow(h, SW_SHOW);

  MSG msg;
  while (m_bInModalLoop) {
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));  // let the outer loop see it
      break;
    }
    if (!AfxPreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }

  // Give the activation back before the dialog goes, so it does not fall to another program.
  if (ownerDisabled) {
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
  }
  if (::IsWindow(h)) ::DestroyWindow(h);
  m_bModal = false;
  m_bInModalLoop = false;
  return m_nModalResult;
}

void CDialog::EndDialog(int result) {
  if (m_bModal) {
    m_nModalResult = result;
    m_bInModalLoop = false;
    if (m_hWnd) ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the loop
  }
  // A modeless page never ends itself; only its owner hides or destroys it.
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!m_bModal) return;  // Enter on a page is not the page's OK
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  if (!m_bModal) return;  // Escape on a page is not the page's Cancel
  EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx{this, saveAndValidate};
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  // Keyboard input goes through the dialog manager of the nearest dialog:
  // Tab, arrows, Enter and Escape work within the dialog that has the focus.
  if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
    return ::IsDialogMessageA(m_hWnd, pMsg);
  return FALSE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOLORCHANGE) {
    // The system tells only top-level windows; controls that keep colours
    // of their own hear of the change from their dialog.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
      ::SendMessageA(child, WM_SYSCOLORCHANGE, wParam, lParam);
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
  // Menus and accelerators send code 0; buttons BN_CLICKED (also 0).
  if (HIWORD(wParam) != BN_CLICKED) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOK();
      return TRUE;
    case IDCANCEL:
      OnCancel();
      return TRUE;
    default:
      return FALSE;
  }
}
