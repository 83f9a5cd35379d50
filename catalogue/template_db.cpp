#include "catalogue/template_db.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <fcntl.h>
#include <unistd.h>

namespace storage_detail {
extern const unsigned char kTemplateImage[];
extern const std::size_t kTemplateImageSize;
}  // namespace storage_detail

const char* const kCatalogueTableSql =
    "CREATE TABLE svazkovna(id integer,\r\n"
    "autor text,\r\n"
    "titul text,\r\n"
    "zanr text,\r\n"
    "vydal text,\r\n"
    "serie text,\r\n"
    "umisteni text,\r\n"
    "zapujcenokomu text,\r\n"
    "zapujcenokdy text,\r\n"
    "hodnoceni integer,\r\n"
    "poznamka text,\r\n"
    "udaj1 text,\r\n"
    "udaj2 text,\r\n"
    "udaj3 text)";

namespace {

constexpr std::size_t kPageSize = 1024;
constexpr std::size_t kPageCount = 2;
constexpr std::uint32_t kChangeCounter = 1;
constexpr std::uint32_t kSchemaCookie = 7;
constexpr std::uint32_t kWriterVersion = 3040001;

void Put16(std::vector<unsigned char>& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<unsigned char>(v >> 8);
    out[at + 1] = static_cast<unsigned char>(v);
}

void Put32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

// The file format's variable-length integer (values here stay far below 2^56).
void AppendVarint(std::vector<unsigned char>& out, std::uint64_t v) {
    unsigned char groups[9];
    int n = 0;
    do {
        groups[n++] = static_cast<unsigned char>(v & 0x7f);
        v >>= 7;
    } while (v != 0);
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(groups[i] | (i > 0 ? 0x80 : 0)));
}

std::uint64_t TextSerialType(std::size_t length) { return 13 + 2 * length; }

// The schema row ('table', name, table name, root page, sql) as a record.
std::vector<unsigned char> SchemaRecord() {
    const std::string_view type = "table";
    const std::string_view name = "svazkovna";
    const std::string_view sql = kCatalogueTableSql;

    std::vector<unsigned char> types;
    AppendVarint(types, TextSerialType(type.size()));
    AppendVarint(types, TextSerialType(name.size()));
    AppendVarint(types, TextSerialType(name.size()));
    AppendVarint(types, 1);  // root page as a one-byte integer
    AppendVarint(types, TextSerialType(sql.size()));

    std::vector<unsigned char> record;
    AppendVarint(record, types.size() + 1);  // the header size counts itself (fits one byte)
    record.insert(record.end(), types.begin(), types.end());
    for (std::string_view text : {type, name, name}) record.insert(record.end(), text.begin(), text.end());
    record.push_back(2);
    record.insert(record.end(), sql.begin(), sql.end());
    return record;
}

// An empty table b-tree leaf header at `at`; the cell content area starts at `contentStart`.
void LeafHeader(std::vector<unsigned char>& out, std::size_t at, std::uint32_t cells, std::uint32_t contentStart) {
    out[at] = 0x0d;
    Put16(out, at + 1, 0);  // no freeblocks
    Put16(out, at + 3, cells);
    Put16(out, at + 5, contentStart);
    out[at + 7] = 0;  // no fragmented bytes
}

}  // namespace

std::vector<unsigned char> BuildTemplateImage() {
    std::vector<unsigned char> image(kPageSize * kPageCount, 0);

    static const char kMagic[] = "SQLite format 3";  // with its zero byte: 16 bytes
    std::copy(kMagic, kMagic + sizeof kMagic, image.begin());
    Put16(image, 16, kPageSize);
    image[18] = 1;  // write version: legacy journal
    image[19] = 1;  // read version
    image[20] = 0;  // reserved bytes per page
    image[21] = 64;
    image[22] = 32;
    image[23] = 32;
    Put32(image, 24, kChangeCounter);
    Put32(image, 28, kPageCount);
    Put32(image, 32, 0);  // no freelist
    Put32(image, 36, 0);
    Put32(image, 40, kSchemaCookie);
    Put32(image, 44, 2);               // schema format number
    Put32(image, 56, 1);               // UTF-8
    Put32(image, 60, 0);               // user version
    Put32(image, 92, kChangeCounter);  // the page count above is valid
    Put32(image, 96, kWriterVersion);

    // Page 1: the schema table's leaf with one cell (rowid 1) at the page end.
    std::vector<unsigned char> cell;
    const std::vector<unsigned char> record = SchemaRecord();
    AppendVarint(cell, record.size());
    AppendVarint(cell, 1);
    cell.insert(cell.end(), record.begin(), record.end());
    const std::size_t cellAt = kPageSize - cell.size();
    LeafHeader(image, 100, 1, static_cast<std::uint32_t>(cellAt));
    Put16(image, 108, static_cast<std::uint32_t>(cellAt));
    std::copy(cell.begin(), cell.end(), image.begin() + static_cast<std::ptrdiff_t>(cellAt));

    // Page 2: the empty table.
    LeafHeader(image, kPageSize, 0, kPageSize);
    return image;
}

const std::string& TemplateImage() {
    static const std::string image(reinterpret_cast<const char*>(storage_detail::kTemplateImage),
                                   storage_detail::kTemplateImageSize);
    return image;
}

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<std::string_view> FindResource(std::string_view type, std::string_view name) {
    if (EqualsIgnoringCase(type, "DB") && EqualsIgnoringCase(name, "DATABAZE")) return TemplateImage();
    return std::nullopt;
}

bool WriteTemplateCatalogue(const std::string& path) {
    if (path.empty()) return false;
    const std::string& image = TemplateImage();
    if (image.empty()) return false;

    // Write beside the target first, so that the catalogue never exists half
    // written, then put it in place with an operation that refuses to replace.
    // Created as any new file is (0666 less the umask), not owner-only as a
    // temporary file would be: the catalogue keeps the mode it is made with.
    std::string temp;
    int fd = -1;
    std::random_device random;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".tmp-%08x", static_cast<unsigned>(random()));
        temp = path + suffix;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = WriteAll(fd, image) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        if (::link(temp.c_str(), path.c_str()) != 0) {
            // Some file systems have no hard links; a no-replace rename does the same.
            ok = (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) &&
                 ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0;
        }
    }
    ::unlink(temp.c_str());
    return ok;
}
