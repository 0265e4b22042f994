#include "install/PackageDefinition.h"

#include "platform/Text.h"

std::string ComposeLicenceText(const std::string& v, const std::string& upper) {
  std::string t;
  t += v;
  t += "\nEnd User Licence Agreement";
  t += "\n\nATTENTION!";
  t += "\n ";
  t += v;
  t += " Licence Agreement below.  You should not install this software until you have read the ";
  t += v;
  t += " Licence Agreement.  By installing this software, you signify that you have read the ";
  t += v;
  t += " Licence Agreement and accept its terms.";
  t += "\n\nLicence Agreement";
  t += "\nThis is an agreement between you, the USER and ";
  t += v;
  t += ".";
  t += "\n";
  t += v;
  t += "  ";
  t += v;
  t += " ";
  t += "\n\nLimited Warranty";
  t += "\nWith respect to physical discs and documentation, these shall be free from defect at "
       "the time of delivery and for 60 days following delivery.";
  t += "\n\nDisclaimer";
  t += "\n";
  t += upper;
  t += " SPECIFICALLY DISCLAIMS ALL OTHER WARRANTIES EXPRESSED OR IMPLIED, INCLUDED BUT NOT "
       "LIMITED TO IMPLIED WARANTIES OR MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE "
       "WITH RESPECT TO DEFECTS IN THE DISKETTE, DOCUMENTATION AND SOFTWARE LICENCE GRANTED "
       "HERE, IN PARTICULAR, WITHOUT LIMITING OPERATION OF THE OTHER SOFTWARE LICENCE WITH "
       "RESPECT TO ANY PARTICULAR APPLICATION, USE OR PURPOSE.  IN NO EVENT SHALL ";
  t += upper;
  t += " BE LIABLE FOR LOSS OF PROFIT OR ANY OTHER COMMERCIAL DAMAGE, INCLUDING BUT NOT LIMITED "
       "TO SPECIAL, INCIDENTAL, CONSEQUENTIAL OR OTHER DAMAGE.";
  return t;
}

namespace {

PackageDefinition Compose() {
  PackageDefinition p;
  p.ProductTitle = "brevoxil - Articles Module Update";
  p.VendorName = "Hollinvale";
  p.VendorUpper = AnsiUpperCase(p.VendorName);
  p.VendorWebAddress = "http://www.hollinvale.com/";
  p.VendorNotice = "Hollinvale - www.hollinvale.com";
  p.ThisVersion = "2.3.8";
  p.PreviousVersion = "2.3.7";
  p.MinBaseVersion = "2.3.6";
  p.MaxBaseVersion = "2.99";
  p.BaseVersionFile = "\\include\\templates\\version.dat";
  p.ModuleName = "Articles";
  p.ReleaseDate = "2010-05-31 02:03:08";
  p.LicenceText = ComposeLicenceText(p.VendorName, p.VendorUpper);
  p.PackageSha256 = BoundPackageSha256();
  return p;
}

}  // namespace

const PackageDefinition& ThePackage() {
  static const PackageDefinition package = Compose();
  return package;
}
