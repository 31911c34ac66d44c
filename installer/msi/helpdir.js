// RegisterTypeLib keeps the type library's help folder without the trailing backslash that
// every folder property of the installer has.
function SetHelpFolders() {
    var names = ["INSTALLDIR", "X86DIR"];
    for (var i = 0; i < names.length; i++)
        Session.Property("HELP_" + names[i]) = Session.Property(names[i]).replace(/\\$/, "");
    return 1;
}
