// The xBase expression language of the table engine: filters, queries, seeks, scopes and index
// keys. Parsing checks names and types, so a parsed expression evaluates without type faults.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xbe {

enum class TType { Character, Numeric, Logical, Date };

struct TValue {
  TType Type = TType::Character;
  std::string Str;
  double Num = 0;
  bool Log = false;
  int64_t Day = 0;  // 0: the empty date
};

// What an expression reads: the fields of one table and its current record.
class TRecordSource {
public:
  virtual ~TRecordSource() = default;
  virtual int FieldIndex(std::string_view name) const = 0;  // -1 when there is none
  virtual TType FieldValueType(int index) const = 0;
  virtual const std::string& FieldNameAt(int index) const = 0;
  virtual TValue FieldValue(int index) const = 0;
  virtual bool RecordDeleted() const = 0;
};

class EExprError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TExpression {
public:
  TExpression() = default;
  // Raises EExprError with a message naming what is wrong and where.
  static TExpression Parse(std::string_view text, const TRecordSource& fields);

  bool Empty() const { return !FRoot; }
  TType Type() const;
  const std::string& Text() const { return FText; }
  // exact: the engine's exact setting, which governs "=" between texts. Raises EExprError on
  // faults that only show at run time (division by zero).
  TValue Evaluate(const TRecordSource& record, bool exact) const;
  // The fields the expression reads, in order of first appearance.
  const std::vector<std::string>& FieldNames() const { return FFields; }

  struct TNode;

private:
  std::shared_ptr<const TNode> FRoot;
  std::string FText;
  std::vector<std::string> FFields;
};

// True when a equals b under the engine's "=" for texts: with exact off a may be longer than b
// and only b's length is compared; with exact on trailing blanks do not count.
bool TextEquals(std::string_view a, std::string_view b, bool exact);
// Compares texts as if the shorter were padded with blanks.
int CompareText(std::string_view a, std::string_view b);
// STR(): a number right-aligned in width characters with decimals places; stars when too wide.
std::string FormatNumber(double value, int width, int decimals);

}  // namespace xbe
