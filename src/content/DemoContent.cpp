#include "content/DemoContent.h"

#include <GL/gl.h>

#include "app/GlWindow.h"

namespace content {

DemoContent::DemoContent(app::GlWindow* window) : window(window) {}

DemoContent::~DemoContent() = default;

void DemoContent::drawFrame(int) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

}  // namespace content
