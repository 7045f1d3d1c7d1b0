// Makes the saver's machine-wide key read-only for everyone ("deny"), as it
// is for a user without elevation, or gives full access back ("allow").
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    bool deny = argc == 2 && !std::strcmp(argv[1], "deny");
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantrel Screen Saver", 0, nullptr, 0, WRITE_DAC, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return 1;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    BYTE aclBytes[256];
    PACL acl = (PACL)aclBytes;
    InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, deny ? KEY_READ | WRITE_DAC : KEY_ALL_ACCESS, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    LSTATUS status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
    FreeSid(everyone);
    std::printf("%s: %ld\n", deny ? "deny" : "allow", (long)status);
    return status == ERROR_SUCCESS ? 0 : 1;
}
