#include "assets/texture.h"

#include "assets/data_file.h"
#include "assets/image.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>

TextureId loadTexture(const char* fileName, bool* unreadableTga)
{
    // Only the text after the first '.' counts, and only in these two cases:
    // "a.b.bmp" and "x.Bmp" are not textures.
    if (fileName == nullptr)
        return 0;
    const char* dot = std::strchr(fileName, '.');
    if (dot == nullptr)
        return 0;
    const char* extension = dot + 1;
    if (std::strcmp(extension, "bmp") == 0 || std::strcmp(extension, "BMP") == 0)
        return loadBmpTexture(fileName);
    if (std::strcmp(extension, "tga") == 0 || std::strcmp(extension, "TGA") == 0) {
        const std::optional<TextureId> id = loadTgaTexture(fileName);
        if (!id && unreadableTga != nullptr)
            *unreadableTga = true;
        return id.value_or(0);
    }
    return 0;
}

TextureId loadBmpTexture(const char* fileName)
{
    if (fileName == nullptr)
        return 0;
    // A missing BMP is not worth a message: the caller draws with texture 0.
    // Anything else standing under its name is a file that cannot be read.
    if (!dataFileExists(fileName))
        return 0;

    const std::optional<RgbImage> image = loadDibImage(fileName);
    if (!image)
        return 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                      image->pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return id;
}

std::optional<TextureId> loadTgaTexture(const char* fileName)
{
    if (fileName == nullptr)
        return 0;
    const std::optional<TgaImage> image = loadTgaImage(fileName);
    if (!image)
        return std::nullopt;
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
    return id;
}
