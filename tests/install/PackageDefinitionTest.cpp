#include <gtest/gtest.h>

#include "formlib/FileUtil.h"
#include "install/PackageDefinition.h"

namespace {

// The licence as the user reads it, double blanks and spelling included.
const char kLicenceText[] =
    "Hollinvale\nEnd User Licence Agreement\n\nATTENTION!\n Hollinvale Licence Agreement below.  "
    "You should not install this software until you have read the Hollinvale Licence Agreement.  "
    "By installing this software, you signify that you have read the Hollinvale Licence "
    "Agreement and accept its terms.\n\nLicence Agreement\nThis is an agreement between you, the "
    "USER and Hollinvale.\nHollinvale  Hollinvale \n\nLimited Warranty\nWith respect to physical "
    "discs and documentation, these shall be free from defect at the time of delivery and for 60 "
    "days following delivery.\n\nDisclaimer\nHOLLINVALE SPECIFICALLY DISCLAIMS ALL OTHER "
    "WARRANTIES EXPRESSED OR IMPLIED, INCLUDED BUT NOT LIMITED TO IMPLIED WARANTIES OR "
    "MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE WITH RESPECT TO DEFECTS IN THE "
    "DISKETTE, DOCUMENTATION AND SOFTWARE LICENCE GRANTED HERE, IN PARTICULAR, WITHOUT LIMITING "
    "OPERATION OF THE OTHER SOFTWARE LICENCE WITH RESPECT TO ANY PARTICULAR APPLICATION, USE OR "
    "PURPOSE.  IN NO EVENT SHALL HOLLINVALE BE LIABLE FOR LOSS OF PROFIT OR ANY OTHER COMMERCIAL "
    "DAMAGE, INCLUDING BUT NOT LIMITED TO SPECIAL, INCIDENTAL, CONSEQUENTIAL OR OTHER DAMAGE.";

// In full, against the constant: its fifteen lines, every blank in them.
TEST(PackageDefinitionTest, LicenceTextIsTheWholeAgreement) {
  const std::string& text = ThePackage().LicenceText;
  EXPECT_EQ(text, kLicenceText);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(PackageDefinitionTest, ConstantsAreThisPackage) {
  const PackageDefinition& p = ThePackage();
  EXPECT_EQ(p.ProductTitle, "brevoxil - Articles Module Update");
  EXPECT_EQ(p.ThisVersion, "2.3.8");
  EXPECT_EQ(p.PreviousVersion, "2.3.7");
  EXPECT_EQ(p.MinBaseVersion, "2.3.6");
  EXPECT_EQ(p.MaxBaseVersion, "2.99");
  EXPECT_EQ(p.BaseVersionFile, "\\include\\templates\\version.dat");
  EXPECT_EQ(p.ModuleName, "Articles");
  EXPECT_EQ(p.ReleaseDate, "2010-05-31 02:03:08");
}

}  // namespace
