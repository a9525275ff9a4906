#include <gtest/gtest.h>

#include <sstream>

#include "common/fixed_format.h"
#include "estimation/report.h"
#include "estimation/report_writer.h"
#include "test_util.h"

using namespace estimation;

namespace {

// Two male and three female age classes; counts and estimates fixed.
AgeVariables UnequalClasses() {
  AgeVariables av;
  av.DatasetName = common::PadRight("Deer2021", 100);
  av.FName[1] = common::PadRight("deer", 100);
  av.NumAgeClass = {5, 2, 3};
  av.MinParentAge = {0, 1, 2};
  av.FamilySizeDist = 0;
  av.SamplingPrbKnown = 0;
  av.NumCI95Sample = 0;
  av.NumLoci = 12;
  av.ConfidenceLevel = "95";
  av.MaxNumAgeClass = 3;
  av.Date2 = "2024030520240306";
  av.Time2 = "081234.567091305.001";
  av.SexAgeSize0.Reset(0, 3, 1, 2, 0);
  const int sizes[4][2] = {{10, 12}, {5, 6}, {3, 4}, {0, 2}};
  for (int a = 0; a <= 3; ++a)
    for (int s = 1; s <= 2; ++s) av.SexAgeSize0(a, s) = sizes[a][s - 1];
  for (int s = 1; s <= 2; ++s) av.PODyadCounts0[s].Reset(0, 3, 1, 3, 0);
  av.PODyadCounts0[1](0, 1) = 3;
  av.PODyadCounts0[1](0, 2) = 1;
  av.PODyadCounts0[1](1, 2) = 2;
  av.PODyadCounts0[2](0, 1) = 4;
  av.PODyadCounts0[2](0, 2) = 2;
  av.PODyadCounts0[2](0, 3) = 1;
  av.PODyadCounts0[2](1, 2) = 1;
  av.PODyadCounts0[2](2, 3) = 1;
  for (int s = 1; s <= 2; ++s) av.NumOff0[s].Reset(0, 30, 1, 3, 0);
  av.NumOff0Bound = {0, 2, 1};
  const int males[2][3] = {{3, 1, 1}, {1, 1, 1}};
  for (int j = 1; j <= 2; ++j)
    for (int i = 0; i <= 2; ++i) av.NumOff0[1](i, j) = males[j - 1][i];
  const int females[3][2] = {{5, 1}, {3, 1}, {1, 1}};
  for (int j = 1; j <= 3; ++j)
    for (int i = 0; i <= 1; ++i) av.NumOff0[2](i, j) = females[j - 1][i];
  av.NeEstimate = {123, 0, 0};
  av.GIEstimate[1][0] = 1.6;
  av.GIEstimate[2][0] = 1.4;
  av.GIEstimate[3][0] = 1.8;
  const double var[3][2] = {{1.16, 2.25}, {0.9024, 1.64}, {0.128, 0.8}};
  for (int k = 1; k <= 3; ++k)
    for (int s = 1; s <= 2; ++s) av.Var[k][s][0] = var[k - 1][s - 1];
  const double est[5][4] = {{0.3, 100.04, 0.41234, 90.0},
                            {0.2, 50.26, 0.5, 45.1},
                            {0.1, 80.0, 1.0 / 3.0, 72.0},
                            {0.25, 40.5, 0.25, 36.2},
                            {0.15, 20.0, 1.0, 10.0}};
  for (int l = 0; l < 3; ++l) av.Estimate[l].Reset(1, 5, 1, 4, 0.0);
  for (int r = 1; r <= 5; ++r)
    for (int c = 1; c <= 4; ++c) av.Estimate[0](r, c) = est[r - 1][c - 1];
  return av;
}

std::string Report(const AgeVariables& av) {
  std::ostringstream out;
  WriteReport(av, out);
  return out.str();
}

const char* const kHeadAndCounts = R"(**********************************************************************
          Tavimorelund Analysis Results for Dataset Deer2021
**********************************************************************
  Time  Started: D=05/03/2024 T=34/12/08
  Time Finished: D=06/03/2024 T=05/13/09

--------------------
1. Parameters
--------------------

                     Parameter          Males        Females
------------------------------------------------------------
                   Maximal Age              2              3
          Minimal Parental Age              1              2
    Assumed Family Size Distr.     NonPoisson     NonPoisson
  Number bootstrapping samples              0
                Number of Loci             12
    Parentage confidence level             95

----------------------
2. Summary statistics
----------------------

Number of individuals sampled in each sex-age class

      AgeClass         Males       Females
------------------------------------------
             0            10            12
             1             5             6
             2             3             4
             3                           2


Number of males & females of age class j (column 1) whose paternity is assigned to age class i (row 1)

  AgeClass     1     2
----------------------
         0     3     1
         1     0     2


Number of males & females of age class j (column 1) whose maternity is assigned to age class i (row 1)

  AgeClass     1     2     3
----------------------------
         0     4     2     1
         1     0     1     0
         2     0     0     1

Number of male parents of age class j (column 1) who each have i offspring assignments (row 1)

  AgeClass     0     1     2
----------------------------
         1     3     1     1
         2     1     1     1

Number of female parents of age class j (column 1) who each have i offspring assignments (row 1)

  AgeClass     0     1
----------------------
         1     5     1
         2     3     1
         3     1     1
)";

const char* const kEstimatesWithoutIntervals = R"(
--------------------
3. Estimates
--------------------

Estimates of generation effective size (Ne) & generation intervals (GI)

                      Ne          GI Paternal-GI Maternal-GI
------------------------------------------------------------
    Estimate         123        1.60        1.40        1.80


Estimates of variances and covariances of lifetime family size

            Var(mm)    Var(mf) Cov(mm,mf)    Var(fm)    Var(ff) Cov(fm,ff)
--------------------------------------------------------------------------
Estimate       1.16       0.90       0.13       2.25       1.64       0.80

Estimates of parameter P
AgeClass   Est(Male) Est(Female)
--------------------------------
       1      0.3000      0.1000
       2      0.2000      0.2500
       3                  0.1500

Estimates of parameter N
AgeClass   Est(Male) Est(Female)
--------------------------------
       1       100.0        80.0
       2        50.3        40.5
       3                    20.0

Estimates of parameter S
AgeClass   Est(Male) Est(Female)
--------------------------------
       1      0.4123      0.3333
       2      0.5000      0.2500
       3                  1.0000

Estimates of parameter effective size of each age class
AgeClass   Est(Male) Est(Female)
--------------------------------
       1        90.0        72.0
       2        45.1        36.2
       3                    10.0
)";

}  // namespace

TEST(Report, WithoutIntervalsAndUnequalClasses) {
  EXPECT_EQ(Report(UnequalClasses()), std::string(kHeadAndCounts) + kEstimatesWithoutIntervals);
}

// Three male and two female classes, known sampling proportions, Poisson
// family sizes and bootstrap bounds.
TEST(Report, WithIntervalsKnownSamplingAndMoreMaleClasses) {
  AgeVariables av;
  av.DatasetName = "Elk";
  av.FName[1] = "elk";
  av.NumAgeClass = {5, 3, 2};
  av.MinParentAge = {0, 2, 1};
  av.FamilySizeDist = 1;
  av.SamplingPrbKnown = 1;
  av.NumCI95Sample = 100;
  av.NumLoci = 8;
  av.ConfidenceLevel = " 5";
  av.MaxNumAgeClass = 3;
  av.Date2 = "2023123120240101";
  av.Time2 = "235959.999000001.250";
  av.SexAgeSize0.Reset(0, 3, 1, 2, 1);
  for (int s = 1; s <= 2; ++s) {
    av.PODyadCounts0[s].Reset(0, 3, 1, 3, 0);
    av.NumOff0[s].Reset(0, 9, 1, 3, 0);
  }
  av.NumOff0Bound = {0, 0, 0};
  av.NeEstimate = {250, 180, 1234567890};
  for (int l = 0; l < 3; ++l) {
    for (int k = 1; k <= 3; ++k) {
      av.GIEstimate[k][l] = k + 0.25 * l + 0.001;
      for (int s = 1; s <= 2; ++s) av.Var[k][s][l] = 10.0 * s + k + 0.5 * l;
    }
    av.Estimate[l].Reset(1, 5, 1, 4, 0.0);
    for (int r = 1; r <= 5; ++r) {
      av.Estimate[l](r, 1) = 0.1 * r + 0.01 * l;
      av.Estimate[l](r, 2) = 100.0 * r + 10.0 * l;
      av.Estimate[l](r, 3) = 0.9;  // known: not shown
      av.Estimate[l](r, 4) = 50.0 * r + l;
    }
  }
  const std::string report = Report(av);
  EXPECT_NE(report.find("\n    Assumed Family Size Distr.        Poisson        Poisson\n"),
            std::string::npos);
  EXPECT_NE(report.find("\n    Parentage confidence level              5\n"), std::string::npos);
  EXPECT_NE(report.find("\n  Time  Started: D=31/12/2023 T=59/59/23\n"
                        "  Time Finished: D=01/01/2024 T=01/00/00\n"),
            std::string::npos);
  EXPECT_EQ(report.find("Estimates of parameter S"), std::string::npos);
  const std::string expected = R"(
--------------------
3. Estimates
--------------------

Estimates of generation effective size (Ne) & generation intervals (GI)

                      Ne          GI Paternal-GI Maternal-GI
------------------------------------------------------------
    Estimate         250        1.00        2.00        3.00
       CI95L         180        1.25        2.25        3.25
       CI95U  1234567890        1.50        2.50        3.50


Estimates of variances and covariances of lifetime family size

            Var(mm)    Var(mf) Cov(mm,mf)    Var(fm)    Var(ff) Cov(fm,ff)
--------------------------------------------------------------------------
Estimate      11.00      12.00      13.00      21.00      22.00      23.00
   CI95L      11.50      12.50      13.50      21.50      22.50      23.50
   CI95U      12.00      13.00      14.00      22.00      23.00      24.00

Estimates of parameter P
                      Males                        Females
          ---------------------------  ---------------------------
AgeClass       Est     CI95L     CI95U       Est     CI95L     CI95U
--------------------------------------------------------------------
       1    0.1000    0.1100    0.1200    0.4000    0.4100    0.4200
       2    0.2000    0.2100    0.2200    0.5000    0.5100    0.5200
       3    0.3000    0.3100    0.3200

Estimates of parameter N
                      Males                        Females
          ---------------------------  ---------------------------
AgeClass       Est     CI95L     CI95U       Est     CI95L     CI95U
--------------------------------------------------------------------
       1     100.0     110.0     120.0     400.0     410.0     420.0
       2     200.0     210.0     220.0     500.0     510.0     520.0
       3     300.0     310.0     320.0

Estimates of parameter effective size of each age class
                      Males                        Females
          ---------------------------  ---------------------------
AgeClass       Est     CI95L     CI95U       Est     CI95L     CI95U
--------------------------------------------------------------------
       1      50.0      51.0      52.0     200.0     201.0     202.0
       2     100.0     101.0     102.0     250.0     251.0     252.0
       3     150.0     151.0     152.0
)";
  const std::size_t at = report.find("\n--------------------\n3. Estimates");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(report.substr(at), expected);
}

TEST(Report, FemaleOnlyRowsStandUnderTheFemaleColumnsWithIntervals) {
  AgeVariables av = UnequalClasses();
  av.NumCI95Sample = 5;
  for (int l = 1; l <= 2; ++l)
    for (int r = 1; r <= 5; ++r)
      for (int c = 1; c <= 4; ++c) av.Estimate[l](r, c) = av.Estimate[0](r, c) + l;
  const std::string report = Report(av);
  EXPECT_NE(report.find("\n       3                                  0.1500    1.1500    2.1500\n"),
            std::string::npos);
  EXPECT_NE(report.find("\nEstimates of parameter S\n"), std::string::npos);
}

TEST(Report, OutputStampsTheFinishAndWritesTheNamedFile) {
  testutil::ScopedTempDir dir;
  AgeVariables av = UnequalClasses();
  Output(av);
  EXPECT_EQ(av.Date2.substr(0, 8), "20240305");
  EXPECT_EQ(av.Time2.substr(0, 10), "081234.567");
  EXPECT_NE(av.Date2.substr(8), "20240306");
  EXPECT_EQ(av.Time2[16], '.');
  const std::string file = testutil::ReadFile("deer.Ne");
  EXPECT_EQ(file, Report(av));
  EXPECT_EQ(file.substr(file.find("3. Estimates") - 22), std::string(kEstimatesWithoutIntervals));
}

TEST(Report, UnwritableReportStops) {
  testutil::ScopedTempDir dir;
  AgeVariables av = UnequalClasses();
  av.FName[1] = "missing_dir/deer";
  try {
    Output(av);
    FAIL() << "no stop";
  } catch (const StopError& e) {
    EXPECT_STREQ(e.what(), "Error in writing file missing_dir/deer.Ne: No such file or directory");
  }
}

// Twelve male classes and a female parent with eleven offspring: both rules
// run the full width of their tables, past 80 columns.
TEST(Report, RulesSpanTablesWiderThanEightyColumns) {
  AgeVariables av = UnequalClasses();
  av.NumAgeClass = {15, 12, 3};
  av.MaxNumAgeClass = 12;
  av.SexAgeSize0.Reset(0, 12, 1, 2, 0);
  for (int s = 1; s <= 2; ++s) {
    av.PODyadCounts0[s].Reset(0, 12, 1, 12, 0);
    av.NumOff0[s].Reset(0, 30, 1, 12, 0);
  }
  av.NumOff0Bound = {0, 0, 11};
  av.NumOff0[2](11, 1) = 1;
  for (int l = 0; l < 3; ++l) av.Estimate[l].Reset(1, 15, 1, 4, 0.0);
  const std::string report = Report(av);

  std::string males = "\n" + common::FmtText("AgeClass", 10);
  for (int i = 1; i <= 12; ++i) males += common::FmtInt(i, 6);
  males += "\n" + std::string(82, '-') + "\n";
  EXPECT_NE(report.find(males), std::string::npos);

  std::string females = "\n" + common::FmtText("AgeClass", 10);
  for (int i = 0; i <= 11; ++i) females += common::FmtInt(i, 6);
  females += "\n" + std::string(82, '-') + "\n" + common::FmtInt(1, 10);
  for (int i = 0; i <= 10; ++i) females += common::FmtInt(0, 6);
  females += common::FmtInt(1, 6) + "\n";
  EXPECT_NE(report.find(females), std::string::npos);
}
