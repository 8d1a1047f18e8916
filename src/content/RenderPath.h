#pragma once
// Which way the content draws its frames, chosen once at start-up.
//
// Faithful: the GL 1.1 fixed-function drawing exactly as the show describes it, call for call.
// Fast: the same picture (every frame within 2 levels of the faithful one, checked by the
// picture gate, tools/picturegate) drawn with fewer calls: draws that add nothing are skipped,
// sprites are batched, and pieces that need more than GL 1.1 use it where the GL offers it
// (each piece checks what the GL offers when the content is created and falls back otherwise).
// FastFixedFunction: the fast path as it draws on a GL without GLSL (the band's layers drawn by
// the fixed-function pipeline), whatever the GL offers; for checking that fallback.
#include <optional>
#include <string>

namespace content {

enum class RenderPath { Faithful, Fast, FastFixedFunction };

// "faithful", "fast" or "fast-fixed".
const char* renderPathName(RenderPath path);
// The path named by text ("faithful", "fast" or "fast-fixed", lower case); nothing for any
// other text.
std::optional<RenderPath> parseRenderPath(const std::string& text);

// The environment variable that selects the path when no explicit request is made.
constexpr const char* kRenderPathVariable = "VX_RENDER_PATH";

// The choice: the explicit request if there is one (a command-line option), else the value of
// VX_RENDER_PATH given as `environment` (null when unset), else Fast. An environment value that
// names no path is ignored with a reason in *warning (when given); an empty value counts as unset.
RenderPath chooseRenderPath(std::optional<RenderPath> requested, const char* environment,
                            std::string* warning = nullptr);

// chooseRenderPath with the process's VX_RENDER_PATH; a warning goes to standard error as
// "<program>: <reason>". Call it once at start-up and hand the result to DemoContent.
RenderPath renderPathAtStartUp(std::optional<RenderPath> requested, const char* program);

}  // namespace content
