#include "vellum/column_letters.h"

#include <cmath>

#include "platform/code_page.h"
#include "platform/messages.h"
#include "report/number_text.h"
#include "vellum/run_policy.h"
#include "vellum/time_text.h"

namespace qx::vellum {

namespace {
std::string number(double x, int decimals) {
  return report::numberToText(x, decimals, kRunPolicy.numberWorkArea);
}

std::string textOrDash(std::string_view text) {
  return text.empty() ? std::string("-") : std::string(text);
}

std::string levelText(char letter, double level, const GroupTableHeader& header) {
  if (level == kNoValue) return "-";
  switch (letter) {
    case 'e':
      return platform::format("%d", truncateToInt32(std::floor(header.referenceValue - level + 0.5 +
                                                               header.eCorrection)));
    case 'j':
      return number(level - header.referenceValue, 2);
    default:  // 'k'
      return number(level, 2);
  }
}

std::string stationText(double first, double second) {
  std::string text = "D";
  text += number(first, 3);
  if (second > 0) {
    text += 'R';
    text += number(second, 3);
  }
  return text;
}

std::string letterB(const GroupTableRow& row, const BuildRules& rules, BodyState& state) {
  if (!rules.letterBShowsGroupKey) return std::string(row.textB);
  std::string text = row.groupKey != state.previousKey ? std::string(row.groupKey) : "";
  state.previousKey = row.groupKey;
  return text;
}

std::string timeText(const GroupTableRow& row, const GroupTableHeader& header, BodyState& state,
                     platform::Messages& messages) {
  const TimeCell cell = timeCell(row.minutes, header.timeFormat, messages);
  if (cell.resetsSum) {
    state.runningSum = 0;
  } else {
    state.runningSum += cell.addedMinutes;
  }
  return cell.text;
}

std::optional<std::string> letterText(char letter, const GroupTableRow& row,
                                      const GroupTableHeader& header, const BuildRules& rules,
                                      BodyState& state, platform::Messages& messages) {
  switch (letter) {
    case 'a':
      return platform::format("%d", state.recordCounter);
    case 'b':
      return letterB(row, rules, state);
    case 'c':
      return std::string(row.textC);
    case 'd':
      return platform::format("T%d", row.numberD);
    case 'e':
    case 'j':
    case 'k':
      return levelText(letter, row.level, header);
    case 'f':
      return number(row.valueF, 3);
    case 'g':
      return std::string(row.textG);
    case 'h':
      return number(row.valueH, 3);
    case 'i':
      return number(row.valueI, 3);
    case 'l':
      return timeText(row, header, state, messages);
    case 'm':
      return number(row.valueM, 3);
    case 'n':
      return number(row.valueN, 3);
    case 'o':
      return number(row.valueO, 3);
    case 'p':
      return number(row.valueP, 3);
    case 'q':
      return std::string(row.textQ);
    case 'r':
      return std::string();
    case 's':
      return stationText(row.valueS1, row.valueS2);
    case 't':
      return number(row.valueT, 3);
    case 'u':
      return number(row.valueU, 3);
    case 'v':
      return number(row.valueV, 3);
    case 'w':
      return std::string(row.textW);
    case 'x':
      return number(row.valueF - row.valueX2 + header.xCorrection, 3);
    case 'y':
      return row.valueY > 0.01 ? number(row.valueY + header.yCorrection + 0.5, 0)
                               : std::string("-");
    case 'z':
      return platform::format("%d", row.numberZ);
    case '1':
      return std::string(row.yesFlag != 0 ? "Yes" : "-");
    case '2':
      return textOrDash(row.text2);
    case '3':
      return textOrDash(row.text3);
    case '4':
      return textOrDash(row.text4);
    case '5':
      return std::string(row.text5);
    case '6':
      return std::string(row.text6);
    case '7':
    case '8':
      return std::string(row.text7);
    default:
      return std::nullopt;
  }
}
}  // namespace

std::string boundedCellText(std::string_view gbk) {
  return std::string(gbk.substr(0, platform::gbkPrefixLength(gbk, kCellTextRoom - 1)));
}

std::optional<ColumnCell> columnCell(char letter, const GroupTableRow& row,
                                     const GroupTableHeader& header, const BuildRules& rules,
                                     BodyState& state, platform::Messages& messages) {
  std::optional<std::string> text = letterText(letter, row, header, rules, state, messages);
  if (!text) return std::nullopt;
  return ColumnCell{letter != 'r', boundedCellText(*text)};
}

}  // namespace qx::vellum
