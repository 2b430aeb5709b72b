#pragma once
// One report of the grouped table exporter: open the template, fill the header slots and the
// body, place the host's picture, save, and leave the workbook open in the visible server.

#include <string_view>
#include <vector>

#include "vellum/build_rules.h"
#include "vellum/group_table_header.h"
#include "vellum/group_table_row.h"
#include "vellum/run_policy.h"

namespace qx::platform {
class Messages;
}

namespace qx::vellum {

// Messages of the run (UTF-8). The template message takes the path in place of %s.
inline constexpr const char* kTemplateMissingMessage = "模板文件“%s”, 不存在!";
inline constexpr std::string_view kEnvironmentFailedMessage = "初始化环境失败!";
inline constexpr std::string_view kServerFailedMessage = "无法启动Excel服务器!";
// A row list that leads back to a record already passed has no end; refused before anything
// starts.
inline constexpr std::string_view kLoopingRowListMessage = "行记录链表有环, 无法导出!";

// The picture the host renders into the configuration directory's temp folder.
inline constexpr std::string_view kPictureFileName = "post_excel_sheet_pictrue.bmp";

// The run on the host's row list from its first record, which must end (see
// platform::chainLoops); null skips the body. Every failure is shown through
// `messages`; a failed automation call ends the run unsaved with one message. COM stays
// initialised on the calling thread unless the server could not be created. Never throws
// AutomationError; every holder is released once, the application last.
void runGroupTable(const GroupTableHeader& header, const std::uint8_t* firstRecord,
                   const BuildRules& rules, platform::Messages& messages);

// The call as the host makes it, with records in the host's memory. A null header returns at
// once in both builds; a null row list returns at once where the build requires one. Nothing
// is thrown.
void exportGroupTable(const void* header, const void* firstRow, const BuildRules& rules,
                      platform::Messages& messages) noexcept;

}  // namespace qx::vellum
