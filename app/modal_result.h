#pragma once

// The modal results a dialog returns from ShowModal (the values of the
// original toolkit, which callers compare with).
enum TModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
};
