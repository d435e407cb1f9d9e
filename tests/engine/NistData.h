// Reading the NIST reference datasets under tests/data/nist and counting the
// digits a computed value shares with a certified one.
#pragma once

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace nist {

// One reference file: its lines (numbered from 1, as the header counts them)
// and the line ranges its header gives for the certified values and the data.
struct DataFile {
    std::vector<std::string> lines;
    int certifiedFirst = 0, certifiedLast = 0;
    int dataFirst = 0, dataLast = 0;
    const std::string& Line(int n) const { return lines.at(static_cast<size_t>(n - 1)); }
};

// Every whitespace-separated token of `line` that reads wholly as a number.
inline std::vector<double> NumbersOnLine(const std::string& line) {
    std::vector<double> numbers;
    std::istringstream in(line);
    std::string token;
    while (in >> token) {
        char* end = nullptr;
        double value = std::strtod(token.c_str(), &end);
        if (end != token.c_str() && *end == '\0') numbers.push_back(value);
    }
    return numbers;
}

// The file `name` (for example "Longley.dat"), with the ranges read from
// header lines such as "Certified Values  (lines 31 to 51)".
inline DataFile Read(const std::string& name) {
    DataFile file;
    std::ifstream in(std::string(MERIVOX_NIST_DIR) + "/" + name);
    if (!in) throw std::runtime_error("missing reference file " + name);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        file.lines.push_back(line);
    }
    auto range = [&](const std::string& label, int& first, int& last) {
        for (const auto& line : file.lines) {
            auto at = line.find(label);
            if (at == std::string::npos) continue;
            auto lines = line.find("(lines", at);
            if (lines == std::string::npos) continue;
            std::vector<double> n = NumbersOnLine(line.substr(lines + 6));
            if (n.size() >= 1) first = static_cast<int>(n[0]);
            // "(lines 61 to 76)": the closing bracket sticks to the last number.
            last = std::atoi(line.substr(line.find("to", lines) + 2).c_str());
            return;
        }
        throw std::runtime_error("no range for " + label + " in " + name);
    };
    range("Certified Values", file.certifiedFirst, file.certifiedLast);
    range("Data", file.dataFirst, file.dataLast);
    return file;
}

// The numbers of each data line.
inline std::vector<std::vector<double>> DataRows(const DataFile& file) {
    std::vector<std::vector<double>> rows;
    for (int n = file.dataFirst; n <= file.dataLast; ++n) {
        std::vector<double> row = NumbersOnLine(file.Line(n));
        if (!row.empty()) rows.push_back(row);
    }
    return rows;
}

// The numbers of the first certified line whose text (leading blanks left
// out) starts with `label`, such as "B1", "Residual", "R-Squared" or
// "Between Treatment".
inline std::vector<double> Certified(const DataFile& file, const std::string& label) {
    for (int n = file.certifiedFirst; n <= file.certifiedLast; ++n) {
        const std::string& line = file.Line(n);
        auto start = line.find_first_not_of(' ');
        if (start != std::string::npos && line.compare(start, label.size(), label) == 0)
            return NumbersOnLine(line.substr(start + label.size()));
    }
    throw std::runtime_error("no certified line " + label);
}

// Log relative error: the number of significant digits `computed` shares
// with `certified` (the absolute error's digits when the certified value is
// 0), at most 15; 0 when they share none or computed is not finite.
inline double Lre(double computed, double certified) {
    if (!std::isfinite(computed)) return 0;
    double error = std::fabs(computed - certified);
    if (error == 0) return 15;
    double lre = certified == 0 ? -std::log10(error) : -std::log10(error / std::fabs(certified));
    return std::max(0.0, std::min(15.0, lre));
}

}  // namespace nist
