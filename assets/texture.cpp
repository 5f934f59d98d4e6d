#include "assets/texture.h"

#include "assets/data_file.h"
#include "assets/image.h"

#include <GL/gl.h>
#include <GL/glu.h>


TextureLoad loadTexture(const char* fileName)
{
    if (fileName == nullptr)
        return {};
    switch (imageFormatOf(fileName)) {
    case ImageFormat::Bmp: return loadBmpTexture(fileName);
    case ImageFormat::Tga: return loadTgaTexture(fileName);
    case ImageFormat::None: break;
    }
    return {};
}

TextureLoad loadBmpTexture(const char* fileName)
{
    TextureLoad result;
    if (fileName == nullptr)
        return result;
    // A missing BMP shows no box, as in the original: the caller draws with
    // texture 0, and one line on standard error names it (a modder's typo
    // is otherwise invisible). Anything else standing under its name is a
    // file that cannot be read.
    if (!dataFileExists(fileName)) {
        result.report.note(fileName, "No such file or directory; drawn without this texture");
        return result;
    }

    const std::optional<RgbImage> image = loadDibImage(fileName, result.report);
    if (!image)
        return result;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                      image->pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    result.id = id;
    return result;
}

TextureLoad loadTgaTexture(const char* fileName)
{
    TextureLoad result;
    if (fileName == nullptr)
        return result;
    const std::optional<TgaImage> image = loadTgaImage(fileName, result.report);
    if (!image) {
        result.report.fatal = true;
        return result;
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const GLenum format = image->bytesPerPixel == 4 ? GL_RGBA : GL_RGB;
    // Our rows are packed. With GL's initial alignment of 4 an R G B row
    // whose length is not a multiple of 4 would be read skewed and past the
    // end of the buffer; the caller's alignment is put back afterwards.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, image->bytesPerPixel, image->width, image->height, format, GL_UNSIGNED_BYTE,
                      image->pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    result.id = id;
    return result;
}
