// CTavJobHelper: the document, loading and saving, the job id, descriptions, backup nodes.
#include "tavengine/TavJobHelper.h"

#include <random>

#include "EngineTexts.h"
#include "JobSchema.h"
#include "TextUtil.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SysError.h"
#include "tavengine/TavImageSettings.h"

namespace {

// A job id other than 0 and 0xFFFFFFFF (the values that read as "none").
uint32_t UsableId(uint32_t id) { return (id == 0 || id == 0xFFFFFFFF) ? 0x5A17C0DE : id; }

uint32_t RandomJobId() {
    std::random_device device;
    return UsableId(device());
}

// FNV-1a of the job's path: the id of a job file that carries none, the same on every load.
uint32_t JobIdFromPath(const std::string& path) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : path) {
        hash ^= c;
        hash *= 16777619u;
    }
    return UsableId(hash);
}

std::string SystemErrorText(uint32_t error) {
    switch (error) {
        case plat::ERR_FILE_NOT_FOUND:
        case plat::ERR_PATH_NOT_FOUND:
            return engtext::SYS_NOT_FOUND;
        case plat::ERR_ACCESS_DENIED:
            return engtext::SYS_ACCESS_DENIED;
        case plat::ERR_SHARING_VIOLATION:
            return engtext::SYS_BUSY;
        default:
            return plat::ErrorText(error);
    }
}

}  // namespace

CTavJobObserver::~CTavJobObserver() = default;

CTavJobHelper::CTavJobHelper() {
    m_root = XMLNode::CreateDocument(jobxml::ROOT);
    m_root.SetAttribute(jobxml::VERSION, jobxml::VERSION_VALUE);
    m_jobId = RandomJobId();
    m_root.SetNumber(jobxml::ID, m_jobId);
    XMLNode job = m_root.AddChild(jobxml::JOB);
    job.SetAttribute(jobxml::TITLE, "");
    job.SetNumber(jobxml::COMMAND, TAV_DEFAULT_BACKUP_COMMAND);
    XMLNode image = m_root.AddChild(jobxml::IMAGE);
    image.SetAttribute(jobxml::NAME, jobxml::DEFAULT_IMAGE_NAME);
    image.SetAttribute(jobxml::LOCATION, plat::HomeDirectory());
    image.SetAttribute(jobxml::SPLITSIZE, TAV_DEFAULT_SPLIT_SIZE);
    image.SetNumber(jobxml::ENCODING, TAV_DEFAULT_ENCODING);
}

CTavJobHelper::~CTavJobHelper() = default;

void CTavJobHelper::Dispose() { delete this; }

void CTavJobHelper::NotifyChange(int32_t flag) {
    if (m_observer != nullptr) m_observer->OnTavJobChanged(this, flag);
}

void CTavJobHelper::AdoptDocument(const XMLNode& root, const std::string& path) {
    m_root = root;
    m_path = path;
    uint32_t id = 0;
    if (!TryTavXml2Dword(m_root.GetAttribute(jobxml::ID), id) || id == 0 || id == 0xFFFFFFFF) {
        id = path.empty() ? RandomJobId() : JobIdFromPath(path);
        m_root.SetNumber(jobxml::ID, id);
    }
    m_jobId = id;
    m_error.clear();
}

int CTavJobHelper::Load(const std::string& path) {
    const std::string absolute = plat::AbsolutePath(path);
    if (plat::IsDirectory(absolute)) {
        m_error = plat::Format(engtext::JOB_CANNOT_OPEN, absolute.c_str(), "it is a folder");
        return 0;
    }
    uint32_t error = 0;
    auto file =
        plat::CFile::Open(absolute, plat::FileAccess::Read, plat::FileDisposition::OpenExisting,
                          &error, plat::FileHint::Sequential);
    if (!file) {
        m_error = plat::Format(engtext::JOB_CANNOT_OPEN, absolute.c_str(),
                                  SystemErrorText(error).c_str());
        return 0;
    }
    const int64_t size = file->Size();
    if (size < 0) {
        m_error = plat::Format(engtext::JOB_CANNOT_READ, absolute.c_str());
        return 0;
    }
    if (uint64_t(size) > jobxml::MAX_JOB_FILE_BYTES) {
        m_error = plat::Format(engtext::JOB_TOO_LARGE, absolute.c_str(),
                                  static_cast<unsigned long long>(size));
        return 0;
    }
    std::string text(size_t(size), '\0');
    if (file->ReadFull(text.data(), text.size()) != size) {
        m_error = plat::Format(engtext::JOB_CANNOT_READ, absolute.c_str());
        return 0;
    }
    std::string reason;
    XMLNode root = XMLNode::Parse(text, jobxml::ROOT, &reason);
    if (!root) {
        m_error = plat::Format(engtext::JOB_NOT_A_JOB, absolute.c_str(), reason.c_str());
        return 0;
    }
    // A name with '/' or ".." would place the images outside the job's image folder.
    const XMLNode image = root.GetChild(jobxml::IMAGE);
    const std::string name = image ? image.GetAttribute(jobxml::NAME) : std::string();
    if (!name.empty() && !IsImageFileName(name)) {
        m_error = plat::Format(engtext::JOB_BAD_IMAGE_NAME, absolute.c_str(), name.c_str());
        return 0;
    }
    AdoptDocument(root, absolute);
    return 1;
}

bool CTavJobHelper::IsImageFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

int CTavJobHelper::LoadXml(std::string_view text) {
    std::string reason;
    XMLNode root = XMLNode::Parse(text, jobxml::ROOT, &reason);
    if (!root) {
        m_error = plat::Format(engtext::JOB_TEXT_NOT_A_JOB, reason.c_str());
        return 0;
    }
    AdoptDocument(root, {});
    return 1;
}

int CTavJobHelper::Save(const std::string& path) {
    if (path.empty() && m_path.empty()) {
        m_error = engtext::JOB_NO_PATH;
        return 0;
    }
    const std::string target = plat::AbsolutePath(path.empty() ? m_path : path);
    const std::string text = GetXmlString();
    const std::string temporary = target + ".tav~" + std::to_string(plat::ProcessId());
    uint32_t error = 0;
    bool written = false;
    {
        auto file = plat::CFile::Open(temporary, plat::FileAccess::ReadWrite,
                                      plat::FileDisposition::CreateAlways, &error);
        if (file) {
            written = file->Write(text.data(), text.size()) && file->Sync();
            if (!written) error = plat::GetLastError();
        }
    }
    // The new file keeps the permissions of the job it replaces.
    TavFindData previous;
    if (written && plat::GetFindData(target, previous) && previous.kind == TavFileKind::Regular)
        plat::SetFileMode(temporary, previous.mode & 07777);
    if (written && !plat::RenameFile(temporary, target)) {
        written = false;
        error = plat::GetLastError();
    }
    if (!written) {
        plat::RemoveFile(temporary);
        m_error = plat::Format(engtext::JOB_CANNOT_WRITE, target.c_str(),
                                  SystemErrorText(error).c_str());
        return 0;
    }
    m_path = target;
    m_error.clear();
    return 1;
}

std::string CTavJobHelper::GetXmlString() const { return m_root.CreateXMLString(); }

// --- sections ---

XMLNode CTavJobHelper::Section(const std::string& name) const { return m_root.GetChild(name); }

// The section element, made when missing: job, image and description come before the
// backup nodes, in that order.
XMLNode CTavJobHelper::MakeSection(const std::string& name) {
    XMLNode section = Section(name);
    if (section) return section;
    XMLNode before;
    if (name == jobxml::JOB) before = m_root.GetFirstChild();
    if (name == jobxml::IMAGE) {
        XMLNode job = Section(jobxml::JOB);
        before = job ? job.GetNextSibling() : m_root.GetFirstChild();
    }
    if (name == jobxml::DESCRIPTION) before = m_root.GetChild(jobxml::BACKUP);
    return m_root.InsertChild(name, before);
}

std::string CTavJobHelper::GetJobDesc(const std::string& attribute) const {
    std::string value = Section(jobxml::JOB).GetAttribute(attribute);
    if (value.empty() && attribute == jobxml::TITLE && !m_path.empty()) {
        value = plat::BaseName(m_path);
        const size_t dot = value.rfind('.');
        if (dot != std::string::npos && dot > 0) value.resize(dot);
    }
    return value;
}

void CTavJobHelper::SetJobDesc(const std::string& attribute, const std::string& value) {
    MakeSection(jobxml::JOB).SetAttribute(attribute, value);
    NotifyChange(1);
}

std::string CTavJobHelper::GetImageDesc(const std::string& attribute) const {
    XMLNode image = Section(jobxml::IMAGE);
    if (attribute == jobxml::SPLITSIZE && !image.HasAttribute(attribute))
        return TAV_DEFAULT_SPLIT_SIZE;
    return image.GetAttribute(attribute);
}

void CTavJobHelper::SetImageDesc(const std::string& name, const std::string& splitSize,
                                 uint32_t encoding, const std::string& location) {
    XMLNode image = MakeSection(jobxml::IMAGE);
    image.SetAttribute(jobxml::NAME, name);
    image.SetAttribute(jobxml::LOCATION, location);
    image.SetAttribute(jobxml::SPLITSIZE, splitSize);
    image.SetNumber(jobxml::ENCODING, encoding);
    NotifyChange(1);
}

uint32_t CTavJobHelper::GetImageEncoding() const {
    return Section(jobxml::IMAGE).GetNumber(jobxml::ENCODING, TAV_DEFAULT_ENCODING);
}

uint32_t CTavJobHelper::GetBackupCommand() const {
    return Section(jobxml::JOB).GetNumber(jobxml::COMMAND, TAV_DEFAULT_BACKUP_COMMAND);
}

void CTavJobHelper::SetBackupCommand(uint32_t command) {
    MakeSection(jobxml::JOB).SetNumber(jobxml::COMMAND, command);
    NotifyChange(1);
}

std::string CTavJobHelper::GetRepDescription() const {
    return Section(jobxml::DESCRIPTION).GetText();
}

void CTavJobHelper::SetRepDescription(const std::string& description) {
    MakeSection(jobxml::DESCRIPTION).SetText(description);
    NotifyChange(1);
}

// --- backup nodes ---

int CTavJobHelper::GetBackupNodeCount() const { return m_root.GetChildCount(jobxml::BACKUP); }

XMLNode CTavJobHelper::GetBackupNode(int& iterator) const {
    if (iterator < 0) return {};
    XMLNode node = m_root.GetChild(jobxml::BACKUP, iterator);
    if (node) ++iterator;
    return node;
}

XMLNode CTavJobHelper::GetBackupNode(const std::string& moduleName) const {
    for (XMLNode node = m_root.GetChild(jobxml::BACKUP); node;
         node = node.GetNextSibling(jobxml::BACKUP)) {
        if (tavtext::EqualsNoCase(node.GetAttribute(jobxml::MODULE), moduleName)) return node;
    }
    return {};
}

XMLNode CTavJobHelper::AddBackupNode(const std::string& title, const std::string& moduleName,
                                     uint32_t flags, const XMLNode& before) {
    if (moduleName.empty()) return {};
    XMLNode existing = GetBackupNode(moduleName);
    if (existing) return existing;
    XMLNode node =
        m_root.InsertChild(jobxml::BACKUP, before.GetParent() == m_root ? before : XMLNode());
    if (!node) return {};
    node.SetAttribute(jobxml::MODULE, moduleName);
    node.SetAttribute(jobxml::TITLE, title);
    node.SetNumber(jobxml::FLAGS, flags);
    NotifyChange(1);
    return node;
}
