#pragma once
// The window ids of the wizard's and the login dialog's controls, as a
// program outside the installer finds them: 100 + the control's index in
// the order the form creates its controls. The window tests check them
// against the forms.

namespace wizard_ids {
constexpr int kPageControl1 = 100;
constexpr int kIntro1 = 101;
constexpr int kLicense1 = 102;
constexpr int kDest1 = 103;
constexpr int kStartUpdate1 = 104;
constexpr int kUpdate1 = 105;
constexpr int kUpdateComplete1 = 106;
constexpr int kLabel6 = 110;
constexpr int kPrevious1 = 111;
constexpr int kNext1 = 112;
constexpr int kCancel1 = 113;
constexpr int kIntroText1 = 114;
constexpr int kLicenseText1 = 115;
constexpr int kDestFolder1 = 119;
constexpr int kBrowse1 = 120;
constexpr int kUpdateFileName1 = 123;
constexpr int kUpdateCompleteText1 = 125;
}  // namespace wizard_ids

namespace login_ids {
constexpr int kServer1 = 104;
constexpr int kUsername1 = 105;
constexpr int kPassword1 = 106;
constexpr int kOk1 = 107;
constexpr int kCancel1 = 108;
}  // namespace login_ids
