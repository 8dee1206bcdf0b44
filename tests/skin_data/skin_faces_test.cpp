// The pictures as drawn, before compression, against the rectangles of the generated INI
// files: a button's faces lie exactly where the button copies them from, and every state a
// user can put a button in looks different.
#include "skin_data/skin_folder.h"
#include "skin_painter.h"
#include "skin_table.h"

#include <QImage>
#include <QRect>
#include <array>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace velkan::skingen {
namespace {

// Where the button of `key` copies its face from, by the window's INI file.
QRect copyRect(const platform::IniDocument& ini, const std::string& key) {
    return buttonRect(ini, key).translated(-1, -1);
}

bool differsWithin(const QImage& a, const QImage& b, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return true;
            }
        }
    }
    return false;
}

std::vector<const SkinControl*> imageButtons(const SkinWindow& window) {
    std::vector<const SkinControl*> buttons;
    for (const auto& control : window.controls) {
        if (control.kind == ControlKind::imageButton) {
            buttons.push_back(&control);
        }
    }
    return buttons;
}

SkinPicture backgroundOf(const SkinWindow& window) {
    for (const auto& picture : window.pictures) {
        if (picture.content == PictureContent::background) {
            return picture;
        }
    }
    ADD_FAILURE() << window.iniFile << " has no background";
    return {};
}

// A face fills its copy rectangle: some face reaches each of its four edges, and no face
// leaves it. A face drawn one pixel off, or a rectangle in the INI file that is not the one
// drawn, breaks one or the other.
TEST(SkinFacesTest, ButtonsAreDrawnExactlyWhereTheyCopyTheirFaces) {
    for (const auto& window : skinWindows()) {
        const QImage background = paintPicture(window, backgroundOf(window));
        const auto ini = readSkinIni(window.iniFile);
        const auto buttons = imageButtons(window);
        std::map<std::string, std::array<bool, 4>> edgesReached;
        for (const auto& picture : window.pictures) {
            if (picture.content != PictureContent::windowState) {
                continue;
            }
            SCOPED_TRACE(picture.file);
            const QImage face = paintPicture(window, picture);
            ASSERT_EQ(face.size(), background.size());
            QImage outside = face;
            QImage plain = background;
            for (const auto* button : buttons) {
                const QRect area = copyRect(ini, button->key);
                const QRect edges[] = {
                    {area.left(), area.top(), 1, area.height()},
                    {area.right(), area.top(), 1, area.height()},
                    {area.left(), area.top(), area.width(), 1},
                    {area.left(), area.bottom(), area.width(), 1},
                };
                auto& reached = edgesReached[button->key];
                for (std::size_t edge = 0; edge < 4; ++edge) {
                    reached[edge] = reached[edge] || differsWithin(face, background, edges[edge]);
                }
                for (QImage* image : {&outside, &plain}) {
                    for (int y = area.top(); y <= area.bottom(); ++y) {
                        for (int x = area.left(); x <= area.right(); ++x) {
                            image->setPixel(x, y, 0);
                        }
                    }
                }
            }
            EXPECT_TRUE(outside == plain) << "drawn outside the buttons' rectangles";
        }
        for (const auto* button : buttons) {
            EXPECT_EQ(edgesReached[button->key], (std::array{true, true, true, true}))
                << window.iniFile << " " << button->key
                << " does not fill its rectangle (left, right, top, bottom)";
        }
    }
}

TEST(SkinFacesTest, EveryStateOfAButtonLooksDifferent) {
    for (const auto& window : skinWindows()) {
        std::map<Face, QImage> faces;
        for (const auto& picture : window.pictures) {
            // One page's pictures are enough: the pages differ only in the page picture.
            if (picture.content == PictureContent::windowState &&
                (picture.page == Page::none || picture.page == Page::macro)) {
                faces.emplace(picture.face, paintPicture(window, picture));
            }
        }
        ASSERT_GE(faces.size(), 2u) << window.iniFile;
        const auto ini = readSkinIni(window.iniFile);
        const auto light = [](Face face) {
            return face == Face::lightOff || face == Face::lightOn;
        };
        for (const auto* button : imageButtons(window)) {
            const QRect area = copyRect(ini, button->key);
            const bool key = button->look == Look::keyCap || button->look == Look::macroKey;
            for (auto a = faces.begin(); a != faces.end(); ++a) {
                for (auto b = std::next(a); b != faces.end(); ++b) {
                    const bool differs = differsWithin(a->second, b->second, area);
                    const auto trace = window.iniFile + " " + button->key + ": faces " +
                                       std::to_string(static_cast<int>(a->first)) + " and " +
                                       std::to_string(static_cast<int>(b->first));
                    if (key || (!light(a->first) && !light(b->first))) {
                        EXPECT_TRUE(differs) << trace;
                    } else if (a->first == Face::normal || light(a->first)) {
                        // The light looks are the keys'; other buttons keep their normal face.
                        EXPECT_FALSE(differs) << trace;
                    }
                }
            }
        }
    }
}

TEST(SkinFacesTest, PagePicturesShowTheirPage) {
    const SkinWindow& composite = skinWindows().at(1);
    const SkinControl* page = findControl(composite, "CONTROL_MASK");
    ASSERT_NE(page, nullptr);
    std::vector<QImage> normals;
    for (const auto& picture : composite.pictures) {
        if (picture.content == PictureContent::windowState && picture.face == Face::normal) {
            normals.push_back(paintPicture(composite, picture));
        }
    }
    ASSERT_EQ(normals.size(), 5u);
    for (std::size_t i = 0; i < normals.size(); ++i) {
        for (std::size_t j = i + 1; j < normals.size(); ++j) {
            EXPECT_TRUE(differsWithin(normals[i], normals[j],
                                      copyRect(readSkinIni(composite.iniFile), page->key)))
                << "pages " << i << " and " << j << " look alike";
        }
    }
}

// An arrow shows the sheet's cell at its origin in place of the background under it: around
// the arrow's rounded face the cell is that background, in the cell's very corners.
TEST(SkinFacesTest, ArrowCellsLieAtTheirOrigins) {
    const SkinWindow& main = skinWindows().at(0);
    const auto ini = readSkinIni(main.iniFile);
    const QImage background = paintPicture(main, backgroundOf(main));
    QImage sheet;
    for (const auto& picture : main.pictures) {
        if (picture.content == PictureContent::arrowSheet) {
            sheet = paintPicture(main, picture);
        }
    }
    ASSERT_FALSE(sheet.isNull());
    for (const char* side : {"LEFT", "RIGHT"}) {
        const QRect button = buttonRect(ini, std::string(side) + "_ARROW");
        for (const char* state : {"UP", "DOWN"}) {
            for (const char* set : {"1", "2"}) {
                const std::string key = std::string(state) + "_ARROW_" + side + set;
                const auto origin = rectOf(ini.value("BUTTONINFO2", key));
                ASSERT_TRUE(origin.has_value()) << key;
                const QRect cell(origin->x() - 1, origin->y() - 1, button.width(), button.height());
                ASSERT_TRUE(sheet.rect().contains(cell)) << key;
                for (const auto& [dx, dy] : {std::pair{0, 0},
                                             {cell.width() - 1, 0},
                                             {0, cell.height() - 1},
                                             {cell.width() - 1, cell.height() - 1}}) {
                    EXPECT_EQ(sheet.pixel(cell.x() + dx, cell.y() + dy),
                              background.pixel(button.x() + dx, button.y() + dy))
                        << key << " corner " << dx << "," << dy;
                }
                EXPECT_TRUE(differsWithin(sheet.copy(cell), background.copy(button),
                                          QRect(QPoint(0, 0), cell.size())))
                    << key << " shows no arrow";
            }
        }
    }
}

} // namespace
} // namespace velkan::skingen
