// The button bitmaps and the program icon under resources/bitmaps/: one SVG file per resource id,
// drawn at the pixel size the main window expects, and limited to what Qt Svg draws (no text, no
// filters, masks or style sheets, nothing outside the file).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Bitmap {
    const char* name; // file name without ".svg": the resource id, or "icon"
    int width, height;
};

// Resource id, pixel size; the subjects are listed in resources/bitmaps/README.md.
const Bitmap kBitmaps[] = {
    {"111", 25, 24},   {"112", 26, 24},  {"113", 30, 24},  {"114", 25, 24},  {"115", 25, 24},
    {"116", 35, 38},   {"117", 35, 40},  {"118", 35, 38},  {"119", 20, 20},  {"120", 20, 20},
    {"121", 25, 24},   {"122", 25, 24},  {"123", 25, 24},  {"124", 25, 24},  {"125", 38, 38},
    {"126", 25, 24},   {"127", 25, 24},  {"128", 25, 24},  {"129", 25, 24},  {"130", 25, 24},
    {"131", 25, 24},   {"133", 26, 24},  {"134", 26, 24},  {"141", 35, 38},  {"142", 35, 38},
    {"138", 112, 134}, {"145", 108, 68}, {"144", 178, 19}, {"icon", 32, 32},
};

fs::path BitmapDir() {
    return fs::path(RESOURCE_DIR) / "bitmaps";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// One start, end or empty-element tag of an XML text.
struct Tag {
    std::string name;
    std::map<std::string, std::string> attributes;
    bool closing = false;     // </name>
    bool selfClosing = false; // <name ... />
};

bool Fail(std::string& why, const std::string& reason) {
    why = reason;
    return false;
}

// Splits an XML text into its tags, skipping comments, the declaration and doctype. Returns
// false, with a reason, when a tag is cut off or an attribute is malformed.
bool ReadTags(const std::string& xml, std::vector<Tag>& tags, std::string& why) {
    size_t i = 0;
    while ((i = xml.find('<', i)) != std::string::npos) {
        if (xml.compare(i, 4, "<!--") == 0) {
            size_t end = xml.find("-->", i + 4);
            if (end == std::string::npos) return Fail(why, "unterminated comment");
            i = end + 3;
            continue;
        }
        if (xml.compare(i, 2, "<?") == 0 || xml.compare(i, 2, "<!") == 0) {
            size_t end = xml.find('>', i);
            if (end == std::string::npos) return Fail(why, "unterminated declaration");
            i = end + 1;
            continue;
        }
        Tag tag;
        size_t p = i + 1;
        if (p < xml.size() && xml[p] == '/') {
            tag.closing = true;
            ++p;
        }
        size_t nameStart = p;
        while (p < xml.size() && !std::isspace(static_cast<unsigned char>(xml[p])) &&
               xml[p] != '>' && xml[p] != '/')
            ++p;
        tag.name = xml.substr(nameStart, p - nameStart);
        if (tag.name.empty()) return Fail(why, "tag without a name at byte " + std::to_string(i));
        for (;;) {
            while (p < xml.size() && std::isspace(static_cast<unsigned char>(xml[p]))) ++p;
            if (p >= xml.size()) return Fail(why, "tag <" + tag.name + " is cut off");
            if (xml[p] == '>') break;
            if (xml.compare(p, 2, "/>") == 0) {
                tag.selfClosing = true;
                ++p;
                break;
            }
            size_t eq = xml.find('=', p);
            if (eq == std::string::npos || eq + 1 >= xml.size() ||
                (xml[eq + 1] != '"' && xml[eq + 1] != '\''))
                return Fail(why, "malformed attribute in <" + tag.name);
            size_t close = xml.find(xml[eq + 1], eq + 2);
            if (close == std::string::npos) return Fail(why, "unquoted value in <" + tag.name);
            std::string key = xml.substr(p, eq - p);
            while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back())))
                key.pop_back();
            tag.attributes[key] = xml.substr(eq + 2, close - eq - 2);
            p = close + 1;
        }
        tags.push_back(tag);
        i = p + 1;
    }
    return true;
}

// Start and end tags pair up, and there is exactly one root element.
bool Balanced(const std::vector<Tag>& tags, std::string& why) {
    std::vector<std::string> open;
    int roots = 0;
    for (const Tag& tag : tags) {
        if (tag.closing) {
            if (open.empty() || open.back() != tag.name)
                return Fail(why, "</" + tag.name + "> closes nothing open");
            open.pop_back();
            continue;
        }
        if (open.empty()) ++roots;
        if (!tag.selfClosing) open.push_back(tag.name);
    }
    if (!open.empty()) return Fail(why, "<" + open.back() + "> is never closed");
    if (roots != 1) return Fail(why, std::to_string(roots) + " root elements");
    return true;
}

struct SvgFile {
    std::string text;
    std::vector<Tag> tags;
};

// Reads and tokenises a bitmap; a missing or malformed file fails the calling test.
SvgFile Load(const Bitmap& b) {
    SvgFile svg;
    fs::path path = BitmapDir() / (std::string(b.name) + ".svg");
    EXPECT_TRUE(fs::is_regular_file(path)) << path;
    svg.text = ReadFile(path);
    std::string why;
    EXPECT_TRUE(ReadTags(svg.text, svg.tags, why) && Balanced(svg.tags, why))
        << b.name << ".svg: " << why;
    return svg;
}

TEST(Bitmaps, EveryTabledIdIsAWellFormedSvgOfItsPixelSize) {
    for (const Bitmap& b : kBitmaps) {
        SCOPED_TRACE(b.name);
        SvgFile svg = Load(b);
        ASSERT_FALSE(svg.tags.empty());
        const Tag& root = svg.tags.front();
        ASSERT_EQ(root.name, "svg");
        EXPECT_EQ(root.attributes.count("xmlns") ? root.attributes.at("xmlns") : "",
                  "http://www.w3.org/2000/svg");
        // Qt takes the default size from width and height; the viewBox must span the same
        // pixels, or the drawing is scaled and loses its pixel alignment.
        std::string w = std::to_string(b.width), h = std::to_string(b.height);
        EXPECT_EQ(root.attributes.count("width") ? root.attributes.at("width") : "", w);
        EXPECT_EQ(root.attributes.count("height") ? root.attributes.at("height") : "", h);
        EXPECT_EQ(root.attributes.count("viewBox") ? root.attributes.at("viewBox") : "",
                  "0 0 " + w + " " + h);
    }
}

TEST(Bitmaps, FolderHoldsOnlyTabledIds) {
    std::set<std::string> known;
    for (const Bitmap& b : kBitmaps) known.insert(std::string(b.name) + ".svg");
    for (const auto& entry : fs::directory_iterator(BitmapDir())) {
        std::string file = entry.path().filename().string();
        if (entry.path().extension() == ".svg") {
            EXPECT_TRUE(known.count(file)) << file << " is no resource id of the main window";
        }
    }
}

TEST(Bitmaps, DrawnWithoutFontsOrOutsideFiles) {
    for (const Bitmap& b : kBitmaps) {
        SCOPED_TRACE(b.name);
        SvgFile svg = Load(b);
        EXPECT_EQ(svg.text.find("<text"), std::string::npos) << "letters must be paths";
        for (const Tag& tag : svg.tags) {
            EXPECT_NE(tag.name, "image");
            for (const auto& [key, value] : tag.attributes) {
                if (key == "href" || key == "xlink:href") {
                    EXPECT_EQ(value.rfind('#', 0), 0u) << "reference to another file: " << value;
                }
                if (value.find("url(") != std::string::npos) {
                    EXPECT_NE(value.find("url(#"), std::string::npos) << value;
                }
            }
        }
    }
}

TEST(Bitmaps, UseOnlyWhatQtSvgDraws) {
    // Qt Svg (SVG Tiny 1.2) skips these, so whatever they should do would silently go missing.
    const std::set<std::string> unsupported = {"filter", "mask",          "clipPath", "pattern",
                                               "style",  "foreignObject", "marker",   "script"};
    for (const Bitmap& b : kBitmaps) {
        SCOPED_TRACE(b.name);
        SvgFile svg = Load(b);
        for (const Tag& tag : svg.tags) {
            EXPECT_FALSE(unsupported.count(tag.name)) << "<" << tag.name << ">";
            EXPECT_FALSE(tag.attributes.count("style")) << "style sheet on <" << tag.name << ">";
            EXPECT_FALSE(tag.attributes.count("filter")) << "filter on <" << tag.name << ">";
        }
    }
}

TEST(Bitmaps, EveryPaintReferenceNamesADefinition) {
    // A fill or stroke of url(#name) with no element of that id is drawn as nothing.
    for (const Bitmap& b : kBitmaps) {
        SCOPED_TRACE(b.name);
        SvgFile svg = Load(b);
        std::set<std::string> ids;
        for (const Tag& tag : svg.tags)
            if (tag.attributes.count("id")) ids.insert(tag.attributes.at("id"));
        for (const Tag& tag : svg.tags)
            for (const auto& [key, value] : tag.attributes) {
                size_t at = value.find("url(#");
                if (at == std::string::npos) continue;
                size_t end = value.find(')', at);
                ASSERT_NE(end, std::string::npos) << value;
                std::string id = value.substr(at + 5, end - at - 5);
                EXPECT_TRUE(ids.count(id)) << key << " refers to missing #" << id;
            }
    }
}

// The checks above rest on the small reader: it must see through comments and catch cut-off
// or unbalanced markup.
TEST(BitmapReader, ReadsAttributesAndRejectsBrokenMarkup) {
    std::vector<Tag> tags;
    std::string why;
    ASSERT_TRUE(ReadTags("<?xml version=\"1.0\"?><!-- <text> --><svg width='3' height=\"4\">"
                         "<g><rect x=\"1\"/></g></svg>",
                         tags, why))
        << why;
    ASSERT_EQ(tags.size(), 5u);
    EXPECT_EQ(tags[0].name, "svg");
    EXPECT_EQ(tags[0].attributes["width"], "3");
    EXPECT_EQ(tags[0].attributes["height"], "4");
    EXPECT_TRUE(tags[2].selfClosing);
    EXPECT_TRUE(Balanced(tags, why)) << why;

    tags.clear();
    EXPECT_FALSE(ReadTags("<svg width=\"3\"", tags, why));
    tags.clear();
    EXPECT_FALSE(ReadTags("<svg width=3>", tags, why));
    tags.clear();
    ASSERT_TRUE(ReadTags("<svg><g></svg>", tags, why));
    EXPECT_FALSE(Balanced(tags, why));
    tags.clear();
    ASSERT_TRUE(ReadTags("<svg/><svg/>", tags, why));
    EXPECT_FALSE(Balanced(tags, why));
}

} // namespace
