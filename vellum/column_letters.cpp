#include "vellum/column_letters.h"

#include <cmath>
#include <utility>

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

std::string_view textOrDash(std::string_view text) {
  return text.empty() ? std::string_view("-") : text;
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

// Texts of the record are shown where they lie; only what is built is kept in the room.
std::string_view letterB(const GroupTableRow& row, const BuildRules& rules, BodyState& state) {
  if (!rules.letterBShowsGroupKey) return row.textB;
  const std::string_view text = row.groupKey != state.previousKey ? row.groupKey : "";
  state.previousKey = row.groupKey;
  return text;
}

std::string timeText(const GroupTableRow& row, const GroupTableHeader& header, BodyState& state,
                     platform::Messages& messages) {
  std::optional<TimeCell> cell = timeCell(row.minutes, header.timeFormat, messages);
  if (!cell) {
    state.stopped = true;
    return {};
  }
  if (cell->resetsSum) {
    state.runningSum = 0;
  } else {
    state.runningSum += cell->addedMinutes;
  }
  return std::move(cell->text);
}

// Keeps a built text in the state's room, which it shows until the next cell.
std::string_view kept(BodyState& state, std::string text) {
  state.room = std::move(text);
  return state.room;
}

std::optional<std::string_view> letterText(char letter, const GroupTableRow& row,
                                           const GroupTableHeader& header, const BuildRules& rules,
                                           BodyState& state, platform::Messages& messages) {
  switch (letter) {
    case 'a':
      return kept(state, platform::format("%d", state.recordCounter));
    case 'b':
      return letterB(row, rules, state);
    case 'c':
      return row.textC;
    case 'd':
      return kept(state, platform::format("T%d", row.numberD));
    case 'e':
    case 'j':
    case 'k':
      return kept(state, levelText(letter, row.level, header));
    case 'f':
      return kept(state, number(row.valueF, 3));
    case 'g':
      return row.textG;
    case 'h':
      return kept(state, number(row.valueH, 3));
    case 'i':
      return kept(state, number(row.valueI, 3));
    case 'l':
      return kept(state, timeText(row, header, state, messages));
    case 'm':
      return kept(state, number(row.valueM, 3));
    case 'n':
      return kept(state, number(row.valueN, 3));
    case 'o':
      return kept(state, number(row.valueO, 3));
    case 'p':
      return kept(state, number(row.valueP, 3));
    case 'q':
      return row.textQ;
    case 'r':
      return std::string_view();
    case 's':
      return kept(state, stationText(row.valueS1, row.valueS2));
    case 't':
      return kept(state, number(row.valueT, 3));
    case 'u':
      return kept(state, number(row.valueU, 3));
    case 'v':
      return kept(state, number(row.valueV, 3));
    case 'w':
      return row.textW;
    case 'x':
      return kept(state, number(row.valueF - row.valueX2 + header.xCorrection, 3));
    case 'y':
      return row.valueY > 0.01 ? kept(state, number(row.valueY + header.yCorrection + 0.5, 0))
                               : std::string_view("-");
    case 'z':
      return kept(state, platform::format("%d", row.numberZ));
    case '1':
      return std::string_view(row.yesFlag != 0 ? "Yes" : "-");
    case '2':
      return textOrDash(row.text2);
    case '3':
      return textOrDash(row.text3);
    case '4':
      return textOrDash(row.text4);
    case '5':
      return row.text5;
    case '6':
      return row.text6;
    case '7':
    case '8':
      return row.text7;
    default:
      return std::nullopt;
  }
}
}  // namespace

std::string_view boundedCellText(std::string_view gbk) {
  return gbk.substr(0, platform::gbkPrefixLength(gbk, kCellTextRoom - 1));
}

std::optional<ColumnCell> columnCell(char letter, const GroupTableRow& row,
                                     const GroupTableHeader& header, const BuildRules& rules,
                                     BodyState& state, platform::Messages& messages) {
  const std::optional<std::string_view> text =
      letterText(letter, row, header, rules, state, messages);
  if (!text) return std::nullopt;
  return ColumnCell{letter != 'r', boundedCellText(*text)};
}

}  // namespace qx::vellum
