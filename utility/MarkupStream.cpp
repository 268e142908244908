#include "utility/MarkupStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

using pugi::xml_node;

// The same options the whole-document save uses, so both print identical bytes.
constexpr unsigned kFormat = pugi::format_indent | pugi::format_no_declaration;
constexpr size_t kBufferSize = 1 << 20;
// Every this many bytes the disk starts writing what the file holds so far, so that the sync
// before the rename waits for the last stretch only rather than for the whole report.
constexpr off_t kWriteBackStretch = off_t{8} << 20;

struct AppendWriter : pugi::xml_writer {
    std::string& out;
    explicit AppendWriter(std::string& o) : out(o) {}
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

unsigned DepthOf(xml_node node) {
    unsigned depth = 0;
    for (xml_node p = node.parent(); p && p.type() == pugi::node_element; p = p.parent()) ++depth;
    return depth;
}

mode_t ModeFor(const char* path, bool ownerOnly) {
    if (ownerOnly) return 0600;
    struct stat st;
    if (::stat(path, &st) == 0) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

CMarkupStream::~CMarkupStream() { Abandon(); }

bool CMarkupStream::Open(const char* path, bool ownerOnly, const char* declaration,
                         std::string& error) {
    m_target = path;
    m_temp = m_target + ".XXXXXX";
    m_mode = ModeFor(path, ownerOnly);
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0) {
        error = std::string("Cannot write beside \"") + path + "\": " + std::strerror(errno);
        return false;
    }
    m_buffer.reserve(kBufferSize + 4096);
    Write(declaration, std::strlen(declaration));
    return true;
}

bool CMarkupStream::IsStarted(xml_node node) const {
    return std::find(m_started.begin(), m_started.end(), node.internal_object()) != m_started.end();
}

void CMarkupStream::EnsureStarted(xml_node node) {
    if (node.type() != pugi::node_element || IsStarted(node)) return;
    EnsureStarted(node.parent());
    // Printing a childless copy gives the start tag as "<NAME ... />\n"; an element with
    // children opens with the same text ending in ">\n".
    m_scratch.reset();
    xml_node copy = m_scratch.append_child(node.name());
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        copy.append_attribute(a.name()).set_value(a.value());
    std::string tag;
    AppendWriter writer(tag);
    copy.print(writer, "\t", kFormat, pugi::encoding_utf8, DepthOf(node));
    static constexpr char kEmptyEnd[] = " />\n";
    if (tag.size() >= sizeof kEmptyEnd - 1) tag.resize(tag.size() - (sizeof kEmptyEnd - 1));
    tag += ">\n";
    Write(tag.data(), tag.size());
    m_started.push_back(node.internal_object());
}

void CMarkupStream::PrintRemaining(xml_node node, unsigned depth) {
    if (!IsStarted(node)) {
        AppendWriter writer(m_buffer);
        node.print(writer, "\t", kFormat, pugi::encoding_utf8, depth);
        Drain(false);
        return;
    }
    for (xml_node c = node.first_child(); c; c = c.next_sibling()) PrintRemaining(c, depth + 1);
    std::string end(depth, '\t');
    end += "</";
    end += node.name();
    end += ">\n";
    Write(end.data(), end.size());
    m_started.erase(std::find(m_started.begin(), m_started.end(), node.internal_object()));
}

void CMarkupStream::FlushChildren(xml_node parent) {
    if (!parent.first_child()) return;
    EnsureStarted(parent);
    const unsigned depth = parent.type() == pugi::node_element ? DepthOf(parent) + 1 : 0;
    while (xml_node c = parent.first_child()) {
        PrintRemaining(c, depth);
        parent.remove_child(c);
    }
}

void CMarkupStream::WriteInside(xml_node node, const char* text, size_t size) {
    FlushChildren(node);
    EnsureStarted(node);
    Write(text, size);
}

void CMarkupStream::WriteDocument(const pugi::xml_document& doc) {
    AppendWriter writer(m_buffer);
    doc.save(writer, "\t", kFormat, pugi::encoding_utf8);
    Drain(false);
}

bool CMarkupStream::Close(std::string& error) {
    Drain(true);
    bool ok = !m_failed && m_fd >= 0;
    ok = ok && ::fchmod(m_fd, m_mode) == 0;
    ok = ok && ::fsync(m_fd) == 0;
    if (m_fd >= 0) ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    if (ok && ::rename(m_temp.c_str(), m_target.c_str()) == 0) {
        m_temp.clear();
        return true;
    }
    error = "Cannot save \"" + m_target + "\": " + std::strerror(errno ? errno : EIO);
    Abandon();
    return false;
}

void CMarkupStream::Write(const char* data, size_t size) {
    m_buffer.append(data, size);
    Drain(false);
}

void CMarkupStream::Drain(bool all) {
    if (m_buffer.size() < kBufferSize && !all) return;
    const char* p = m_buffer.data();
    size_t left = m_buffer.size();
    while (left && !m_failed && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failed = true;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
        m_written += n;
    }
    m_buffer.clear();
    if (!m_failed && m_fd >= 0 && m_written - m_writtenBack >= kWriteBackStretch) {
        // Only starts the write-back: a failure shows in the sync that Close makes anyway.
        ::sync_file_range(m_fd, m_writtenBack, m_written - m_writtenBack, SYNC_FILE_RANGE_WRITE);
        m_writtenBack = m_written;
    }
}

void CMarkupStream::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) ::unlink(m_temp.c_str());
    m_temp.clear();
}
