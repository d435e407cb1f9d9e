// The NIST StRD linear-regression datasets run end to end through
// RunScenario: the fewest digits any certified value keeps (coefficients,
// their standard deviations, the residual standard deviation, R-squared and
// the analysis-of-variance table) must reach each dataset's floor.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "NistData.h"
#include "RegressionSupport.h"

namespace {

using namespace regressiontest;

struct NistCase {
    const char* file;
    std::string type;  // "S", "M" or "P"
    int order;         // polynomial order; the number of x columns otherwise
    bool intercept;
    double floor;
};

// The numbers of the certified line whose label is `label` and which holds
// at least `count` numbers (the analysis-of-variance "Residual" line, not the
// "Residual Standard Deviation" heading).
std::vector<double> CertifiedLine(const nist::DataFile& file, const std::string& label, size_t count) {
    for (int n = file.certifiedFirst; n <= file.certifiedLast; ++n) {
        const std::string& line = file.Line(n);
        const auto start = line.find_first_not_of(' ');
        if (start == std::string::npos || line.compare(start, label.size(), label) != 0) continue;
        std::vector<double> numbers = nist::NumbersOnLine(line.substr(start + label.size()));
        if (numbers.size() >= count) return numbers;
    }
    throw std::runtime_error("no certified line " + label);
}

class NistRegressionTest : public enginetest::EngineTest {
protected:
    // Runs the dataset and returns the fewest digits kept, printing each value's.
    double MinimumDigits(const NistCase& c) {
        const nist::DataFile file = nist::Read(c.file);
        const auto data = nist::DataRows(file);
        const int xs = c.type == "M" ? c.order : 1;
        std::vector<std::string> columns;
        for (int j = 1; j <= xs; ++j) columns.push_back(xs == 1 ? "X" : "X" + std::to_string(j));
        columns.push_back("Y");
        std::vector<Row> rows;
        for (const auto& d : data) {
            Row row;
            for (int j = 1; j <= xs; ++j) row.push_back(d.at(static_cast<size_t>(j)));
            row.push_back(d.at(0));
            rows.push_back(row);
        }
        MakeTable(db, "Reg", false, columns, rows);
        RegressionSetup r;
        r.type = c.type;
        r.order = c.type == "P" ? c.order : 2;
        r.intercept = c.intercept;
        r.xs.assign(columns.begin(), columns.end() - 1);
        r.residual = "";
        EXPECT_TRUE(Run(AddRegression(db, r))) << engine->get_ErrorInfo();
        const auto out = ReadResultRows(db, "Out");
        if (out.size() != 1) return 0;
        const Record& o = out[0];

        const int k = c.type == "S" ? 1 : c.order;
        double worst = 15;
        std::string worstName;
        const auto check = [&](const std::string& name, double computed, double certified) {
            const double digits = nist::Lre(computed, certified);
            if (digits < worst) {
                worst = digits;
                worstName = name;
            }
        };
        const auto value = [&](const std::string& column) {
            return IsNull(o, column) ? std::numeric_limits<double>::quiet_NaN() : Num(o, column);
        };
        for (int j = c.intercept ? 0 : 1; j <= k; ++j) {
            const std::vector<double> b = nist::Certified(file, "B" + std::to_string(j) + " ");
            std::string stem;
            if (j == 0) {
                stem = "Y-Intercept";
            } else if (c.type == "S") {
                stem = "X";
            } else if (c.type == "P") {
                stem = "X^" + std::to_string(j);
            } else {
                stem = "X" + std::to_string(j) + ": X" + std::to_string(j);
            }
            check("B" + std::to_string(j), value(j == 0 ? stem : "Coef_of_" + stem), b.at(0));
            check("SE B" + std::to_string(j), value("SE_of_" + stem), b.at(1));
        }
        check("residual SD", value("StdError_of_Estimate"), nist::Certified(file, "Standard Deviation").at(0));
        check("R-squared", value("R-Square"), nist::Certified(file, "R-Squared").at(0));
        const std::vector<double> regression = CertifiedLine(file, "Regression", 3);
        const std::vector<double> residual = CertifiedLine(file, "Residual", 3);
        check("regression df", value("Regression_DF"), regression[0]);
        check("regression SS", value("Regression_SS"), regression[1]);
        check("regression MS", value("Regression_MS"), regression[2]);
        if (regression.size() > 3 && std::isfinite(regression[3])) {
            check("F", value("F-Value"), regression[3]);
        } else {
            // An exact fit has no F.
            EXPECT_TRUE(IsNull(o, "F-Value")) << c.file;
        }
        check("residual df", value("Residual_DF"), residual[0]);
        check("residual SS", value("Residual_SS"), residual[1]);
        check("residual MS", value("Residual_MS"), residual[2]);
        std::printf("%s: fewest digits %.1f (%s)\n", c.file, worst, worstName.c_str());
        return worst;
    }

    void Expect(const NistCase& c) { EXPECT_GE(MinimumDigits(c), c.floor) << c.file; }
};

TEST_F(NistRegressionTest, Norris) { Expect({"Norris.dat", "S", 1, true, 13}); }
TEST_F(NistRegressionTest, Pontius) { Expect({"Pontius.dat", "P", 2, true, 12.5}); }
TEST_F(NistRegressionTest, NoInt1) { Expect({"NoInt1.dat", "S", 1, false, 13.5}); }
TEST_F(NistRegressionTest, NoInt2) { Expect({"NoInt2.dat", "S", 1, false, 14}); }
TEST_F(NistRegressionTest, Longley) { Expect({"Longley.dat", "M", 6, true, 14}); }
TEST_F(NistRegressionTest, Filip) { Expect({"Filip.dat", "P", 10, true, 7}); }
TEST_F(NistRegressionTest, Wampler1) { Expect({"Wampler1.dat", "P", 5, true, 11.5}); }
TEST_F(NistRegressionTest, Wampler2) { Expect({"Wampler2.dat", "P", 5, true, 12.5}); }
TEST_F(NistRegressionTest, Wampler3) { Expect({"Wampler3.dat", "P", 5, true, 10}); }
TEST_F(NistRegressionTest, Wampler4) { Expect({"Wampler4.dat", "P", 5, true, 8}); }
TEST_F(NistRegressionTest, Wampler5) { Expect({"Wampler5.dat", "P", 5, true, 6}); }

}  // namespace
