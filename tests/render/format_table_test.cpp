// The format table and scored format requests.
#include "render/format_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "render/render_device.h"
#include "tests/support/report_capture.h"

namespace {

std::vector<const FormatDesc*> rows(std::initializer_list<D3DFORMAT> formats) {
  std::vector<const FormatDesc*> out;
  for (D3DFORMAT f : formats) {
    out.push_back(findFormat(f));
    EXPECT_NE(out.back(), nullptr) << f;
  }
  return out;
}

// Depth requests as the device layer makes them, with a chosen desired depth.
FormatRequest depthRequest(std::uint32_t desiredRed) {
  FormatRequest r;
  r.minRed = channelWord(16);
  r.desiredRed = desiredRed;
  r.maxAlpha = r.maxRed = r.maxGreen = r.maxBlue = 0x20220;
  r.requiredFlags = kFormatDepthStencil;
  r.allowedFlags = 0x7;
  return r;
}

TEST(FormatRequest, RowsOutsideTheAllowedFlagsOrLimitsScoreMinusOne) {
  FormatRequest r = depthRequest(channelWord(16));
  r.allowedFlags = 0x2;  // D16 carries 0x4 as well
  EXPECT_EQ(r.score(*findFormat(D3DFMT_D16)), -1);
  EXPECT_GE(r.score(*findFormat(D3DFMT_D16_LOCKABLE)), 0);
  FormatRequest plain;
  plain.maxRed = plain.maxGreen = plain.maxBlue = plain.maxAlpha = channelWord(8);
  EXPECT_EQ(plain.score(*findFormat(D3DFMT_A16B16G16R16)), -1) << "above the maximum bits";
  plain.minAlpha = channelWord(1);
  EXPECT_EQ(plain.score(*findFormat(D3DFMT_X8R8G8B8)), -1) << "below the minimum alpha";
  FormatRequest noSigned = plain;
  noSigned.minAlpha = 0;
  EXPECT_EQ(noSigned.score(*findFormat(60 /* V8U8 */)), -1) << "signed type above an unsigned maximum";
}

TEST(FormatRequest, SmallerRowWinsWhenDepthIsEqual) {
  const FormatRequest r = depthRequest(channelWord(16));
  EXPECT_EQ(r.choose(rows({D3DFMT_D32, D3DFMT_D16})), findFormat(D3DFMT_D16));
  EXPECT_EQ(r.choose(rows({D3DFMT_D16, D3DFMT_D32})), findFormat(D3DFMT_D16));
}

TEST(FormatRequest, FloatAgreementThenPreferenceFlagsDecide) {
  FormatRequest r = autoDepthStencilRequest();
  EXPECT_GT(r.score(*findFormat(D3DFMT_D24FS8)), r.score(*findFormat(D3DFMT_D24S8)));
  EXPECT_EQ(r.choose(rows({D3DFMT_D24S8, D3DFMT_D24FS8})), findFormat(D3DFMT_D24FS8));
  // D16 and D16_LOCKABLE differ only in flag 0x4, which the request prefers.
  EXPECT_EQ(r.choose(rows({D3DFMT_D16_LOCKABLE, D3DFMT_D16})), findFormat(D3DFMT_D16));
  r.preferredFlags.clear();
  EXPECT_EQ(r.choose(rows({D3DFMT_D16_LOCKABLE, D3DFMT_D16})), findFormat(D3DFMT_D16_LOCKABLE)) << "tie: first row";
}

TEST(FormatRequest, AutomaticDepthBufferOnTheAdvertisedDepthFormats) {
  const FormatRequest r = autoDepthStencilRequest();
  EXPECT_EQ(r.choose(rows({D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D16})), findFormat(D3DFMT_D24S8));
  EXPECT_EQ(r.choose(rows({D3DFMT_D16, D3DFMT_D24X8})), findFormat(D3DFMT_D24X8));
  EXPECT_EQ(r.choose(rows({D3DFMT_D15S1})), findFormat(D3DFMT_D15S1));
}

TEST(FormatRequest, NothingToChooseGivesNull) {
  const FormatRequest r = autoDepthStencilRequest();
  EXPECT_EQ(findFormat(12345), nullptr);
  EXPECT_EQ(r.choose({}), nullptr);
  EXPECT_EQ(r.choose(rows({D3DFMT_A8R8G8B8, D3DFMT_DXT1})), nullptr);
}

TEST(FormatRequest, AvoidedFlagsAreAcceptedButRankedLast) {
  FormatRequest r;
  r.desiredAlpha = r.desiredRed = r.desiredGreen = r.desiredBlue = channelWord(8);
  r.maxAlpha = r.maxRed = r.maxGreen = r.maxBlue = 0x20220;
  r.allowedFlags = kFormatDisplay;
  EXPECT_EQ(r.score(*findFormat(D3DFMT_A8B8G8R8)), -1);
  r.avoid(0x10);
  EXPECT_GE(r.score(*findFormat(D3DFMT_A8B8G8R8)), 0);
  EXPECT_EQ(r.choose(rows({D3DFMT_A8B8G8R8, D3DFMT_A8R8G8B8})), findFormat(D3DFMT_A8R8G8B8));
}

class FormatAssertions : public ReportCapture {
 protected:
  FormatAssertions() : ReportCapture(3) {}
};

TEST_F(FormatAssertions, MoreThanTwelvePreferencesAssertAndOnlyTwelveCount) {
  FormatRequest r = depthRequest(channelWord(16));
  r.preferredFlags.assign(12, 0);   // twelve entries every row matches
  r.preferredFlags.push_back(0x4);  // a thirteenth that would pick D16
  const int twelve = [&] {
    FormatRequest t = r;
    t.preferredFlags.resize(12);
    return t.score(*findFormat(D3DFMT_D16));
  }();
  EXPECT_EQ(r.score(*findFormat(D3DFMT_D16)), twelve);
  EXPECT_EQ(takeMessage(), "duplicated preference flags?");
  EXPECT_EQ(r.choose(rows({D3DFMT_D16_LOCKABLE, D3DFMT_D16})), findFormat(D3DFMT_D16_LOCKABLE));
}

}  // namespace
