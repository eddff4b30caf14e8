// CDialog: a dialog from a template, run modally by a loop of our own (so
// PreTranslateMessage sees every message) or created modeless as a child page.
#pragma once
#include "framework/wnd.h"

class CDialog;

struct CDataExchange {
  CDialog* m_pDlg;
  BOOL m_bSaveAndValidate;
};

// Binds a member control object to the dialog's control with that id.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT idTemplate = 0, CWnd* parent = nullptr);
  ~CDialog() override;

  // Runs the dialog modally; returns what EndDialog was given, -1 on failure.
  virtual INT_PTR DoModal();
  // Creates the dialog modeless, as a child when its template says so.
  BOOL Create(UINT idTemplate, CWnd* parent = nullptr);
  void EndDialog(int result);
  bool IsModal() const { return m_bModal; }

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* pDX);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  BOOL PreTranslateMessage(MSG* pMsg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  bool m_bModal = false;
  bool m_bInModalLoop = false;
  INT_PTR m_nModalResult = -1;
};
