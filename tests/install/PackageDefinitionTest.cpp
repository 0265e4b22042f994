#include <gtest/gtest.h>

#include "formlib/FileUtil.h"
#include "install/PackageDefinition.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

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

TEST(PackageDefinitionTest, LicenceTextHasItsFifteenLines) {
  const std::string& text = ThePackage().LicenceText;
  EXPECT_EQ(text, kLicenceText);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[0], "Hollinvale");
  EXPECT_EQ(lines[1], "End User Licence Agreement");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "ATTENTION!");
  EXPECT_EQ(lines[4].substr(0, 44), " Hollinvale Licence Agreement below.  You sh");
  EXPECT_EQ(lines[6], "Licence Agreement");
  EXPECT_EQ(lines[7], "This is an agreement between you, the USER and Hollinvale.");
  EXPECT_EQ(lines[8], "Hollinvale  Hollinvale ");
  EXPECT_EQ(lines[10], "Limited Warranty");
  EXPECT_EQ(lines[13], "Disclaimer");
  EXPECT_EQ(lines[14].substr(0, 47), "HOLLINVALE SPECIFICALLY DISCLAIMS ALL OTHER WAR");
  EXPECT_NE(lines[14].find("IN NO EVENT SHALL HOLLINVALE BE LIABLE"), std::string::npos);
  EXPECT_EQ(lines[14].substr(lines[14].size() - 13), "OTHER DAMAGE.");
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
