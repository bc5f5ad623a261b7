// The settings page only says where the gadget reads its data.
function load() {
    document.getElementById("source").innerText =
        "Data: " + System.Environment.getEnvironmentVariable("windir") + "\\CurrInfo.xml";
}
