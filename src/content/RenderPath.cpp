#include "content/RenderPath.h"

#include <cstdio>
#include <cstdlib>

namespace content {

const char* renderPathName(RenderPath path) {
    switch (path) {
    case RenderPath::Faithful: return "faithful";
    case RenderPath::Fast: return "fast";
    case RenderPath::FastFixedFunction: return "fast-fixed";
    }
    return "fast";
}

std::optional<RenderPath> parseRenderPath(const std::string& text) {
    if (text == "faithful") return RenderPath::Faithful;
    if (text == "fast") return RenderPath::Fast;
    if (text == "fast-fixed") return RenderPath::FastFixedFunction;
    return std::nullopt;
}

RenderPath chooseRenderPath(std::optional<RenderPath> requested, const char* environment,
                            std::string* warning) {
    if (requested) return *requested;
    if (environment && *environment) {
        if (const std::optional<RenderPath> named = parseRenderPath(environment)) return *named;
        if (warning) {
            *warning = std::string(kRenderPathVariable) + "=" + environment +
                       " names no render path (faithful, fast or fast-fixed); drawing on the fast path";
        }
    }
    return RenderPath::Fast;
}

RenderPath renderPathAtStartUp(std::optional<RenderPath> requested, const char* program) {
    std::string warning;
    const RenderPath path = chooseRenderPath(requested, std::getenv(kRenderPathVariable), &warning);
    if (!warning.empty()) std::fprintf(stderr, "%s: %s\n", program, warning.c_str());
    return path;
}

}  // namespace content
