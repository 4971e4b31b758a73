#include "storage/calibration_values.h"
#include "storage/report_settings.h"

#include "storage_fixture.h"

namespace {

using storagetest::Crlf;

class CalValues : public storagetest::StorageTest {};

TEST_F(CalValues, ResetWritesTheFullFile) {
  S().PinHole[7] = 6;
  ASSERT_TRUE(storage::ResetCalValues());
  std::string expected = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n";
  for (int ch = 0; ch < 384; ++ch) expected += std::to_string(ch) + ",2,3\r\n";
  EXPECT_EQ(Read("calvalue.dat"), expected);
  EXPECT_EQ(S().PinHole[7], 2);
}

TEST_F(CalValues, LoadFillsByLineOrderSkippingBlanksAndQuotes) {
  S().PinHole[3] = 4;
  Write("calvalue.dat", "\"hdr\"\r\n9,5,1\r\n\r\n\"0\",\"6\",\"2\"\n   \n2,7,7\r\n");
  ASSERT_TRUE(storage::LoadCalValues());
  EXPECT_EQ(S().PinHole[0], 5);
  EXPECT_EQ(S().Gain[0], 1);
  EXPECT_EQ(S().PinHole[1], 6);
  EXPECT_EQ(S().Gain[1], 2);
  EXPECT_EQ(S().PinHole[2], 7);
  EXPECT_EQ(S().PinHole[3], 4);  // not reached
}

TEST_F(CalValues, ReadBackVariantLoadsChannels0To254) {
  for (int ch = 0; ch < 384; ++ch) S().PinHole[static_cast<size_t>(ch)] = 5;
  ASSERT_TRUE(storage::SaveCalValuesReadBack(folder_ / "calvalue.dat", 255));
  const std::string bytes = Read("calvalue.dat");
  EXPECT_EQ(bytes.substr(0, 29), "channel, power, gain\r\n0,5,3\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - 9), "254,5,3\r\n");
  storage::ResetSharedState();
  S().PinHole[300] = 1;
  ASSERT_TRUE(storage::LoadCalValues());
  EXPECT_EQ(S().PinHole[254], 5);
  EXPECT_EQ(S().PinHole[255], 2);
  EXPECT_EQ(S().PinHole[300], 1);
}

TEST_F(CalValues, ValuesThatAreNoSettingGoBackToTheCaller) {
  Write("calvalue.dat", "h\r\n0,3,3\r\n1,2,9\r\n");
  EXPECT_FALSE(storage::LoadCalValues());
  EXPECT_EQ(S().PinHole[0], 3);
  EXPECT_EQ(S().Gain[1], 3);
  Write("calvalue.dat", "h\r\n0,x,3\r\n");
  EXPECT_FALSE(storage::LoadCalValues());
  std::filesystem::remove(Path("calvalue.dat"));
  EXPECT_FALSE(storage::LoadCalValues());
}

class ReportConfig : public storagetest::StorageTest {
 protected:
  static std::string File(const std::string& values) {
    return Crlf({"\"<User_defined>, <Bin>, <filetype>, <spacer>, <stdError>, <stdDev>, <n>, <out_format>, "
                 "<organism>, <method>, <threshold>, <rawexport>\"",
                 values});
  }
};

TEST_F(ReportConfig, FirstStartWritesDefaultsWithTheFlag) {
  EXPECT_EQ(storage::LoadReportConfig(1), 0);
  EXPECT_EQ(Read("repoconf.dat"), File("1,30,0,\"" + S().List_Separator + "\",1,0,1,0,0,1,18,0"));
}

TEST_F(ReportConfig, OutOfRangeValuesFallBackOthersKept) {
  Write("repoconf.dat", File("1,1441,1,\";\",0,1,0,3,2,2,4,1"));
  EXPECT_EQ(storage::LoadReportConfig(1), 1);
  // Bin 1441 and threshold 4 are out of range; the save shows every other field kept.
  ASSERT_TRUE(storage::SaveReportConfig(1));
  EXPECT_EQ(Read("repoconf.dat"), File("1,30,1,\";\",0,1,0,3,2,2,18,1"));
}

TEST_F(ReportConfig, MethodThreeIsKeptFourFallsBack) {
  // Organism 3 forces method 3, so 3 is a stored choice; 4 is not a method.
  for (const auto& [stored, loaded] : {std::pair{3, 3}, {4, 1}, {-1, 1}}) {
    Write("repoconf.dat", File("1,60,0,\",\",1,0,1,0,3," + std::to_string(stored) + ",8,0"));
    EXPECT_EQ(storage::LoadReportConfig(1), 1);
    EXPECT_EQ(S().method, loaded) << stored;
  }
}

TEST_F(ReportConfig, FlagZeroAlwaysRewritesAndDamageIsReplaced) {
  Write("repoconf.dat", File("1,60,1,\";\",0,1,0,3,2,2,10,1"));
  EXPECT_EQ(storage::LoadReportConfig(0), 0);
  EXPECT_EQ(S().Bin, 30);
  EXPECT_EQ(Read("repoconf.dat").substr(Read("repoconf.dat").find("\r\n") + 2, 5), "0,30,");

  Write("repoconf.dat", File("1,60,zz"));
  dialogs_.ExpectOk();
  EXPECT_EQ(storage::LoadReportConfig(1), 0);
  EXPECT_EQ(dialogs_.log().back(), "Error loading repoconf.dat -> Using Default values");
  EXPECT_EQ(Read("repoconf.dat"), File("0,30,0,\"" + S().List_Separator + "\",1,0,1,0,0,1,18,0"));
}

}  // namespace
