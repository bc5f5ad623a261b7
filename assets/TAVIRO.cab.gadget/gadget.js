// Shows the state Veltrix Plus copies to %windir%\CurrInfo.xml after every sample.
var REFRESH_MS = 1100;

function stateFile() {
    return System.Environment.getEnvironmentVariable("windir") + "\\CurrInfo.xml";
}

function field(doc, name) {
    var node = doc.selectSingleNode("/Info/" + name);
    return node ? node.text : "-";
}

function show(id, text) {
    document.getElementById(id).innerText = text;
}

function refresh() {
    var doc = new ActiveXObject("Microsoft.XMLDOM");
    doc.async = false;
    // The program may be replacing the file; the next tick reads it again.
    if (doc.load(stateFile())) {
        show("name", field(doc, "GpuDescribe") || "GPU");
        show("gpu", field(doc, "GpuClock"));
        show("shader", field(doc, "ShaderClock"));
        show("memory", field(doc, "MemoryClock"));
        show("temp", field(doc, "Temp"));
        show("fan", field(doc, "FanSpeed"));
        show("time", field(doc, "Time"));
        document.body.className = "";
    } else {
        document.body.className = "stale";
    }
}

function start() {
    System.Gadget.settingsUI = "settings.html";
    refresh();
    setInterval(refresh, REFRESH_MS);
}
