#pragma once
// Number formats: the built-in codes and the text a number shows in the formats that
// reports use.

#include <string>
#include <string_view>

namespace qx::engine {

// The code of a built-in number format id ("0.00" for 2), "" when the id is not built in.
std::string_view builtinFormatCode(int id);

// The text `value` shows in `formatCode`. General, "0", "0.00", "#,##0", "#,##0.00", "0%",
// "0.00%", scientific codes such as "0.00E+00", "@", h:mm, h:mm:ss, [h]:mm and [h]:mm:ss are
// rendered as the application renders them in a wide enough column; any other code is
// rendered as General.
std::string formatNumber(double value, std::string_view formatCode);

// True when `value` shows nothing in `formatCode`: the section for it (positive; negative;
// zero; text) is empty, as in ";;;" or "0;-0;;@" at zero.
bool showsNothing(double value, std::string_view formatCode);

// General: up to 11 characters, switching to scientific notation beyond that.
std::string formatGeneral(double value);

// True for the text format "@": texts put into such cells stay texts.
bool isTextFormat(std::string_view formatCode);

}  // namespace qx::engine
