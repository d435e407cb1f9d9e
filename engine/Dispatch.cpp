// Run preparation and dispatch: the source test, the missing-value mode, the
// field-name array with its role checks, and the choice of the runner.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ErrorStack.h"
#include "RunContext.h"
#include "QuantaraImpl.h"
#include "Runners.h"
#include "ScenarioSchema.h"
#include "StatsGeneral.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace engine {

using store::Analysis;
using vb::EqualsNoCase;

namespace {

// The most fields a scenario can have: its field positions, and the one that
// may follow them, must fit the analyses' 16-bit counters.
constexpr int32_t kMaxScenarioFields = 32766;

// The analysis a sub-type name stands for; nullptr for a name not listed.
const store::AnalysisDef* AnalysisNamed(const std::string& CalcType) { return store::FindAnalysis(CalcType); }

bool Is(const store::AnalysisDef* analysis, Analysis id) { return analysis != nullptr && analysis->id == id; }

}  // namespace

int16_t Quarn_UTIL_TableOrQuery(const dao::DatabasePtr& db, const std::string& name) {
    ProcScope scope(ErrStack(), "Quarn_UTIL_TableOrQuery");
    int32_t number = 0;
    try {
        db->TableDefs()->Item(std::string_view(name));
    } catch (const vb::VbError& e) {
        number = e.Number();
    } catch (...) {
        number = -1;
    }
    // A found table, but also any other error, counts as a table.
    if (number != dao::err::kItemNotFound) return 0;
    try {
        db->QueryDefs()->Item(std::string_view(name));
    } catch (const vb::VbError& e) {
        if (e.Number() == dao::err::kItemNotFound) return -99;
    } catch (...) {}
    return 1;
}

std::string SetGlobals(const CZantelsScenario& scenario, const std::string& CalcType, FieldRoles& r) {
    ProcScope scope(ErrStack(), "SetGlobals");
    const int32_t n = scenario.FieldCount();
    if (n < 1) return "No fields assigned";
    // The counts and positions handed to the analyses are 16-bit, and one
    // more position may follow the last field: refuse before they overflow.
    if (n > kMaxScenarioFields) {
        return "This scenario has " + std::to_string(n) + " field rows; a scenario can have at most " +
               std::to_string(kMaxScenarioFields) + " fields";
    }
    const store::AnalysisDef* analysis = AnalysisNamed(CalcType);

    r.strFields.assign(static_cast<size_t>(n) + 1, std::string());
    r.nG = r.nC = r.nX = 0;
    r.fY = r.fW = false;
    size_t i = 0;
    for (const char* role : {"G", "C", "X", "Y", "W"}) {
        for (const auto& field : scenario) {
            if (!EqualsNoCase(field->Choice(), role)) continue;
            switch (role[0]) {
                case 'G':
                    ++r.nG;
                    break;
                case 'C':
                    ++r.nC;
                    break;
                case 'X':
                    ++r.nX;
                    break;
                case 'Y':
                    r.fY = true;
                    break;
                case 'W':
                    r.fW = true;
                    break;
            }
            r.strFields[++i] = field->Field_Name();
        }
        // A cross-tabulation without a column field gets the pseudo field "*".
        if (role[0] == 'X' && Is(analysis, Analysis::Crosstab) && r.nX == 0) {
            r.strFields.resize(static_cast<size_t>(n) + 2);
            r.strFields[++i].assign(1, '*');
            r.nX = 1;
        }
    }
    return {};
}

// The role rule the run is judged by: the analysis's own, or, for a name not
// listed or a group analysis outside its family (both refused once the roles
// pass), one that needs a value field and takes nothing else.
static const store::RoleRule& RuleOf(const store::AnalysisDef* analysis, bool group) {
    static constexpr store::RoleRule kUnlisted{};
    if (analysis == nullptr || group != ((store::Bit(analysis->id) & store::kGroupAnalyses) != 0)) return kUnlisted;
    return analysis->roles;
}

static std::string Count(int n) { return n == 1 ? "one" : n == 2 ? "two" : std::to_string(n); }

// The fields of each role must meet the analysis's rule. The analyses find
// their fields by position: value fields right after the group fields (and
// the compare fields, for those that take them), the weight right after the
// value fields. A compare field given to an analysis that takes none, or a Y
// field beside a weight for one that takes no Y, would shift those positions
// and have the wrong fields analysed without a word, so such scenarios are
// refused. A group scenario always takes compare fields.
static std::string CheckRoleCounts(const CZantelsScenario& s, const FieldRoles& r) {
    const std::string& calc = s.CalcType();
    const store::AnalysisDef* analysis = AnalysisNamed(calc);
    const bool group = EqualsNoCase(s.Scenario_Type(), "G");
    const store::RoleRule& rule = RuleOf(analysis, group);
    // The crosstab names its roles as rows and a column.
    const bool crosstab = !group && Is(analysis, Analysis::Crosstab);
    if (rule.y && !r.fY) return "Y Field must be assigned";
    if (r.nX < rule.valueMin)
        return "At least " + Count(rule.valueMin) + " X field" + (rule.valueMin > 1 ? "s" : "") + " must be assigned";
    if (r.nG < rule.groupMin) return "At least " + Count(rule.groupMin) + " row field must be assigned";
    if (r.nC < rule.compareMin) {
        return crosstab ? "A column field (a Compare field) must be assigned"
                        : "At least one Compare field must be assigned";
    }
    if (r.nC > 0 && rule.compareMax == 0 && !group) return "Compare fields cannot be used in a " + calc + " scenario";
    if (r.nC > rule.compareMax && rule.compareMax > 0 && rule.compareMax != store::RoleRule::kMany) {
        return crosstab ? "Only one column field (Compare field) may be assigned"
                        : "Only " + Count(rule.compareMax) + " Compare field may be assigned";
    }
    if (r.fW && !rule.weight) return "A weight field cannot be used in a " + calc + " scenario";
    if (r.fY && r.fW && !(rule.y && !group))
        return "A Y field cannot be used beside a weight field in a " + calc + " scenario";
    return {};
}

// Every field row must carry one of the known roles: a field with another
// letter would be left out of the array and leave an empty name in it.
static std::string CheckFieldRoles(const CZantelsScenario& s) {
    const store::ColumnDef& choice = *store::FieldsSchema().Column("FieldDef_Choice");
    for (const auto& field : s) {
        std::string err = store::CheckValue(choice, vb::Variant(field->Choice()));
        if (!err.empty()) return err + " (field [" + field->Field_Name() + "])";
    }
    return {};
}

// Whether the analysis of the scenario can write its second output table.
static bool UsesSecondTable(const CZantelsScenario& s) {
    if (EqualsNoCase(s.Scenario_Type(), "G")) return true;
    const store::AnalysisDef* analysis = AnalysisNamed(s.CalcType());
    return analysis != nullptr && !analysis->secondTable.empty();
}

// A result table is dropped and made afresh: it must never be the table the
// analysis reads (the same file, through whatever path or connection, and
// the same name without regard to case), and its name must be one a result
// table can be made and reopened under.
static std::string CheckOutputTables(RunContext& q, const CZantelsScenario& s) {
    std::vector<std::string> outputs = {s.OutputTable1()};
    if (UsesSecondTable(s)) outputs.push_back(s.OutputTable2());
    const dao::DatabasePtr source = q.SourceDatabase();
    const dao::DatabasePtr output = q.OutputDatabase();
    const bool sameFile = source && output && source->SameFile(*output);
    const dao::DatabasePtr scenarios = q.ScenarioDatabase();
    const std::vector<std::string> scenarioTables =
        scenarios && output && scenarios->SameFile(*output) ? q.ScenarioTableNames() : std::vector<std::string>{};
    for (const std::string& name : outputs) {
        if (name.empty()) continue;
        if (name != vb::Trim(name)) {
            return "The output table name [" + name +
                   "] begins or ends with a blank; remove the blank from the output table name.";
        }
        if (sameFile && EqualsNoCase(name, vb::Trim(s.Table()))) {
            return "The output table [" + name + "] cannot be the source table [" + s.Table() +
                   "]: the results would replace the data. Choose another name for the output table.";
        }
        std::string reserved = store::ScenarioTableOutputMessage(name, scenarioTables);
        if (!reserved.empty()) return reserved;
    }
    // Both names are checked before either table is dropped: a name another
    // kind of object holds would fail the second table after the first was
    // replaced.
    for (const std::string& name : outputs) {
        if (name.empty() || !output) continue;
        const std::string kind = output->SchemaObjectType(name);
        // A trigger has a namespace of its own and takes no name from a table.
        const char* what = kind == "view" ? "a query" : kind == "index" ? "an index" : nullptr;
        if (what == nullptr && Quarn_UTIL_TableOrQuery(output, name) == 1) what = "a query";
        if (what != nullptr) {
            return "The output table name [" + name + "] is the name of " + what +
                   " in the output database, so no table can be made under it. Choose another name for the output "
                   "table.";
        }
    }
    return {};
}

std::string NotNumberMessage(const std::string& field, const std::string& table, const std::string& text, bool blob) {
    const std::string where = "The field [" + field + "] of [" + table + "] holds ";
    // A file's heading line imported as a record: kept as missing values it
    // would still count as a record.
    if (!blob && vb::EqualsNoCase(text, field)) {
        return where + "the text \"" + text +
               "\", its own name, where a number is expected: the heading line of the file it was imported from, "
               "read as a record. Import the file without it (the sqlite3 shell's .import --csv --skip 1), or delete "
               "that record.";
    }
    // The query's SQL as the user would type it: the text as an SQL string.
    std::string literal = "'";
    for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
    literal += "'";
    const std::string missing = blob ? "IIF(typeof([" + field + "]) = 'blob', NULL, [" + field + "])"
                                     : "NULLIF([" + field + "], " + literal + ")";
    return where + (blob ? "a BLOB (bytes, not a number)" : "the text \"" + text + "\"") +
           " where a number is expected, which cannot be analysed. Correct that value, or analyse a query that "
           "reads it as a missing value and keeps the record: one that selects " +
           missing + " AS [" + field + "] in place of [" + field + "].";
}

std::string ResultOverflowMessage(const std::string& field, const std::string& table, const std::string& column,
                                  const std::string& weightField) {
    const std::string what = "The " + column + (field.empty() ? "" : " of the field [" + field + "]") + " of [" +
                             table + "] is beyond the largest number a result can hold (about 1.8E+308), an overflow: ";
    if (!weightField.empty()) {
        return what + "the weights in the field [" + weightField +
               "] are too large for it. Analyse a query that scales the weights down, or leave the weight field out.";
    }
    return what + "the values are too large for it. Leave the statistic out, or analyse a query that scales the "
                  "values down.";
}

std::string WeightOverflowMessage(const std::string& field, const std::string& table) {
    return "The weights in the field [" + field + "] of [" + table +
           "] add up to more than the largest number a result can hold (about 1.8E+308), an overflow: no weighted "
           "count or statistic can be computed. Scale the weights down.";
}

std::string NotFiniteMessage(const std::string& field, const std::string& table) {
    return "The field [" + field + "] of [" + table +
           "] holds a value that is not a finite number (an infinity), which cannot be analysed. "
           "Correct or remove that value, or analyse a query that leaves it out.";
}

// SQLite keeps infinities (Jet could not), and no analysis can use them: a
// source value that is not a finite number is refused, naming the field,
// rather than turned into infinite or meaningless results. (NaN cannot be
// stored; SQLite keeps it as Null, which is a missing value.) The data record
// set refuses one as it is read, and the run rolls back; what reaches an
// analysis only through an SQL sum (inf plus -inf is Null there) is scanned
// for here, before the run: the weights that chi-square and crosstab add up.
static std::string CheckFiniteValues(RunContext& q, const CZantelsScenario& s, const std::vector<std::string>& fields) {
    if (fields.empty()) return {};
    try {
        const dao::DatabasePtr db = q.SourceDatabase();
        std::string columns;
        for (const std::string& f : fields) columns += (columns.empty() ? "" : ", ") + BracketName(f);
        const std::string from = " FROM " + BracketName(s.Table());
        // A number column can hold an infinity, and so can one of no declared
        // type (which lists as a text); a TEXT column keeps it as a text.
        std::vector<std::string> numeric;
        std::vector<bool> typed;
        {
            dao::RecordsetPtr probe =
                db->OpenRecordset("SELECT " + columns + from + " WHERE 1=0;", dao::dbOpenForwardOnly, dao::dbReadOnly);
            for (int32_t i = 0; i < probe->Fields()->Count() && static_cast<size_t>(i) < fields.size(); ++i) {
                numeric.push_back(fields[static_cast<size_t>(i)]);
                typed.push_back(dao::IsNumberType(probe->Fields(i)->Type()));
            }
            probe->Close();
        }
        if (numeric.empty()) return {};
        // Above the largest finite number but not text (text sorts above
        // every number, and so above 9e999, which is the infinity itself).
        // Where the column may compare as a text, only a stored real counts.
        std::string where;
        for (size_t i = 0; i < numeric.size(); ++i) {
            const std::string b = BracketName(numeric[i]);
            const std::string beyond =
                "(" + b + " > 1.7976931348623157E+308 And " + b + " <= 9e999) OR " + b + " < -1.7976931348623157E+308";
            where += (where.empty() ? "" : " OR ") +
                     (typed[i] ? beyond : "(typeof(" + b + ") = 'real' And (" + beyond + "))");
        }
        std::string select;
        for (const std::string& f : numeric) select += (select.empty() ? "" : ", ") + BracketName(f);
        dao::RecordsetPtr rs = db->OpenRecordset("SELECT TOP 1 " + select + from + " WHERE " + where + ";",
                                                 dao::dbOpenForwardOnly, dao::dbReadOnly);
        std::string found;
        if (!rs->Eof()) {
            for (int32_t i = 0; i < rs->Fields()->Count() && found.empty(); ++i) {
                int64_t integer = 0;
                double real = 0;
                std::string_view bytes;
                // As stored: a column listed as a text would convert it to one.
                const dao::Field::Stored kind = rs->Fields(i)->StoredValue(integer, real, bytes);
                if (kind == dao::Field::Stored::kReal && !std::isfinite(real)) found = numeric[static_cast<size_t>(i)];
            }
        }
        rs->Close();
        if (!found.empty()) return NotFiniteMessage(found, s.Table());
    } catch (const vb::VbError&) {
        // A source that cannot be read so is reported by the analysis itself.
    }
    return {};
}

// Whether the crosstab summary reads the weights record by record (minimum,
// maximum, range and the spreads), through the data record set that refuses
// an infinity as it reads it, rather than summing them in SQL.
static bool ReadsRecords(const CZantelsScenario& s) {
    const std::string kind = vb::Trim(s.XType());
    return kind.size() == 1 && std::strchr("MXRVFDE", vb::FoldChar(kind[0])) != nullptr;
}

// The two-sample analyses write a row for every pair of compare values,
// k (k - 1) / 2 of them: a compare field with thousands of values (an
// identifier chosen by mistake) would write for hours under the write lock.
// Such a field is refused before anything is written, saying how many values
// it holds.
constexpr int64_t kMostCompareValues = 1000;

static std::string CheckCompareValues(RunContext& q, const CZantelsScenario& s, const std::string& field) {
    // Null is no sample; reading stops past the limit. The values read are
    // kept for the analysis, which lists them as its samples.
    int64_t values = 0;
    RunContext::CompareValueList list{s.Table(), field, {}};
    try {
        const std::string f = q.ValueSql(s.Table(), field) + " AS " + BracketName(field);
        dao::RecordsetPtr rs = q.SourceDatabase()->OpenRecordset(
            "SELECT DISTINCT " + f + " FROM " + BracketName(s.Table()) + ";", dao::dbOpenForwardOnly, dao::dbReadOnly);
        for (; !rs->Eof() && values <= kMostCompareValues; rs->MoveNext()) {
            vb::Variant v = rs->Fields(0)->Value();
            if (!v.IsNull()) ++values;
            list.values.push_back(std::move(v));
        }
        rs->Close();
    } catch (const vb::VbError&) {
        // A source that cannot be read so is reported by the analysis itself.
        return {};
    }
    if (values <= kMostCompareValues) {
        q.compareValues = std::move(list);
        return {};
    }
    const int64_t pairs = kMostCompareValues * (kMostCompareValues + 1) / 2;
    return "The compare field [" + field + "] holds more than " + std::to_string(kMostCompareValues) +
           " different values: a " + s.CalcType() + " compares every pair of them, at least " + std::to_string(pairs) +
           " result rows per field and group. At most " + std::to_string(kMostCompareValues) +
           " values can be compared; choose a compare field that names the samples, or a query that keeps fewer.";
}

// Every field the scenario names must be a column of its source: a missing
// one would otherwise reach SQL as an unknown name, read as a parameter, and
// fail with a message about parameter queries. Its name must also fit the
// result tables' DataField column (64 characters). A source whose columns
// cannot be listed so is left to the analysis to report.
static std::string CheckSourceFields(RunContext& q, const CZantelsScenario& s, const std::vector<std::string>& fields) {
    for (const std::string& f : fields) {
        // Characters, not bytes: a UTF-8 continuation byte starts none.
        const auto characters =
            std::count_if(f.begin(), f.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
        if (characters > 64) {
            return "The field name [" + f +
                   "] is longer than 64 characters, more than a result table's DataField "
                   "column holds. Analyse a query that gives the field a shorter name.";
        }
    }
    std::vector<std::string> columns;
    try {
        dao::RecordsetPtr probe = q.SourceDatabase()->OpenRecordset(
            "SELECT * FROM " + BracketName(s.Table()) + " WHERE 1=0;", dao::dbOpenForwardOnly, dao::dbReadOnly);
        for (int32_t i = 0; i < probe->Fields()->Count(); ++i) columns.push_back(probe->Fields(i)->Name());
        probe->Close();
    } catch (const vb::VbError&) {
        return {};
    }
    for (const std::string& f : fields) {
        if (f.empty() || f == "*") continue;
        const bool found =
            std::any_of(columns.begin(), columns.end(), [&](const std::string& c) { return EqualsNoCase(c, f); });
        if (!found) {
            return "The field [" + f + "] of this scenario is not in the table or query [" + s.Table() +
                   "]. Edit the scenario's fields, or restore the field in the source.";
        }
    }
    return {};
}

void SetMissingMode(RunContext& q, const CZantelsScenario& s) {
    const std::string& stored = s.MissingType();
    if (EqualsNoCase(stored, "0")) {
        q.MissingType("");
    } else if (EqualsNoCase(stored, "1")) {
        q.MissingType("Equal");
        q.MissingEqual(s.MissingEqual().ToDouble());
    } else if (EqualsNoCase(stored, "2")) {
        const bool lowNull = s.MissingLow().IsNull();
        const bool highNull = s.MissingHigh().IsNull();
        if (lowNull && highNull) {
            q.MissingType("");
        } else if (lowNull) {
            q.MissingType("High");
            q.MissingHigh(s.MissingHigh().ToDouble());
        } else if (highNull) {
            q.MissingType("Low");
            q.MissingLow(s.MissingLow().ToDouble());
        } else {
            q.MissingType("Both");
            q.MissingLow(s.MissingLow().ToDouble());
            q.MissingHigh(s.MissingHigh().ToDouble());
        }
    }
    // Any other stored text keeps the mode of this object's previous run.
}

std::string YesNoLetter(int64_t flag) { return flag != 0 ? "Y" : "N"; }

std::string RunOneScenario(RunContext& q) {
    ProcScope scope(ErrStack(), "RunOneScenario");
    const ScenarioPtr scenarioPtr = q.CurrentScenario();
    const CZantelsScenario& s = *scenarioPtr;
    const int16_t kind = Quarn_UTIL_TableOrQuery(q.SourceDatabase(), s.Table());
    SetMissingMode(q, s);

    std::string err;
    FieldRoles r;
    if (kind == -99) {
        err = "Data Table [" + s.Table() + "] not found.";
    } else {
        err = CheckFieldRoles(s);
        if (err.empty()) err = SetGlobals(s, s.CalcType(), r);
    }
    if (!err.empty()) return err;

    q.CaseSensitive(false);
    const std::string& calc = s.CalcType();
    err = CheckRoleCounts(s, r);
    if (err.empty()) err = CheckOutputTables(q, s);
    if (err.empty()) err = CheckSourceFields(q, s, r.strFields);
    if (err.empty() && r.fW &&
        (EqualsNoCase(calc, "Chi-Square") || (EqualsNoCase(calc, "Crosstab") && !ReadsRecords(s))))
        err = CheckFiniteValues(q, s, {r.strFields.back()});
    if (!err.empty()) return err;
    const store::AnalysisDef* analysis = AnalysisNamed(calc);
    const bool groupAnalysis = analysis != nullptr && (store::Bit(analysis->id) & store::kGroupAnalyses) != 0;
    q.TakeWriteLock();
    // Under the lock, so that the values the analysis takes from the check
    // are those of the data it reads.
    if (r.nC >= 1 && (EqualsNoCase(calc, "2 Sample") || EqualsNoCase(calc, "Two Sample t-Test"))) {
        err = CheckCompareValues(q, s, r.strFields.at(static_cast<size_t>(r.nG + 1)));
        if (!err.empty()) return err;
    }
    // A family "G" scenario runs a group analysis, and only those; any other
    // family any other analysis. A run that computes nothing is no success.
    if (analysis == nullptr || EqualsNoCase(s.Scenario_Type(), "G") != groupAnalysis)
        return "Unknown analysis sub-type: " + calc;
    return kRunners[static_cast<size_t>(analysis->id)].run(q, s, r);
}

}  // namespace engine
