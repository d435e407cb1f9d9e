// The probability library over a grid of test values and degrees of freedom,
// tails included, against values computed with mpmath at 50 digits
// (tests/data/probability/make_references.py wrote references.txt).
//
// Every probability agrees to 1e-13 relative. An inverse agrees to 1e-13
// relative plus what the last place of its probability allows: near a
// probability of 1, or where the probability hardly changes with the value,
// one unit in the last place of p moves the value by more than 1e-13, and no
// search can do better than that (the file gives that amount per row).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/CZValue.h"

namespace {

struct Row {
    std::string kind;
    std::vector<std::string> fields;
};

std::vector<Row> ReadRows(const std::string& kind) {
    std::ifstream in(std::string(MERIVOX_PROBABILITY_DIR) + "/references.txt");
    EXPECT_TRUE(in.good()) << "references.txt not found";
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Row row;
        fields >> row.kind;
        if (row.kind != kind) continue;
        for (std::string f; fields >> f;) row.fields.push_back(f);
        rows.push_back(row);
    }
    return rows;
}

double Num(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

double RelativeError(double actual, double expected) {
    return expected == 0 ? std::fabs(actual) : std::fabs(actual - expected) / std::fabs(expected);
}

// The largest relative error per letter, printed so a run shows the margin.
struct Worst {
    std::map<std::string, std::pair<double, std::string>> byLetter;
    void Add(const std::string& letter, double e, const std::string& where) {
        auto& w = byLetter[letter];
        if (e >= w.first) w = {e, where};
    }
    ~Worst() {
        for (const auto& [letter, w] : byLetter)
            std::printf("  %s: largest relative error %.3g (%s)\n", letter.c_str(), w.first, w.second.c_str());
    }
};

std::string Where(const std::vector<std::string>& fields) {
    std::string s;
    for (const std::string& f : fields) s += (s.empty() ? "" : " ") + f;
    return s;
}

}  // namespace

TEST(CZValuePrecision, ProbabilitiesOverTheGrid) {
    const std::vector<Row> rows = ReadRows("P");
    ASSERT_GT(rows.size(), 1000u);
    CZValue z;
    Worst worst;
    for (const Row& r : rows) {
        const std::string& letter = r.fields[0];
        const double x = Num(r.fields[1]), df1 = Num(r.fields[2]), df2 = Num(r.fields[3]);
        const double expected = Num(r.fields[4]);
        const double actual = z.Quarn_CalcProb(letter, x, df1, df2);
        const double e = RelativeError(actual, expected);
        worst.Add(letter, e, Where(r.fields));
        EXPECT_LE(e, 1e-13) << letter << " x " << r.fields[1] << " df " << r.fields[2] << " " << r.fields[3] << ": "
                            << actual << " against " << r.fields[4];
    }
}

TEST(CZValuePrecision, InversesOverTheGrid) {
    const std::vector<Row> rows = ReadRows("Q");
    ASSERT_GT(rows.size(), 300u);
    CZValue z;
    Worst worst;
    for (const Row& r : rows) {
        const std::string& letter = r.fields[0];
        const double p = Num(r.fields[1]), df1 = Num(r.fields[2]), df2 = Num(r.fields[3]);
        const double expected = Num(r.fields[4]);
        const double lastPlace = Num(r.fields[5]);
        const double actual = z.Quarn_FindValue(letter, p, df1, df2, true);
        const double e = RelativeError(actual, expected);
        worst.Add(letter, e, Where(r.fields));
        EXPECT_LE(e, 1e-13 + 64 * lastPlace) << letter << " p " << r.fields[1] << " df " << r.fields[2] << " "
                                             << r.fields[3] << ": " << actual << " against " << r.fields[4];
    }
}

TEST(CZValuePrecision, BinomialCoefficientsAndPoissonProbabilities) {
    CZValue z;
    z.Quarn_FactorialInit();
    Worst worst;
    for (const Row& r : ReadRows("B")) {
        const int n = std::stoi(r.fields[0]), k = std::stoi(r.fields[1]);
        const double e = RelativeError(z.Quarn_Binomial(n, k), Num(r.fields[2]));
        worst.Add("binomial", e, Where(r.fields));
        EXPECT_LE(e, 1e-13) << n << " over " << k;
    }
    for (const Row& r : ReadRows("O")) {
        const double mean = Num(r.fields[0]), lnMean = Num(r.fields[1]);
        const int y = std::stoi(r.fields[2]);
        const double e = RelativeError(z.Quarn_Poisson(mean, lnMean, y), Num(r.fields[3]));
        worst.Add("Poisson", e, Where(r.fields));
        EXPECT_LE(e, 1e-13) << "mean " << mean << " y " << y;
    }
}
