// The view page; its script comes from /modules.js (the compiled renderer and page modules).
export const pageHtml = `<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>quorlane-view</title>
<style>
  :root { color-scheme: dark; font: 13px system-ui, sans-serif; background: #15171c; color: #dfe3ea; }
  body { margin: 0; display: grid; grid-template-columns: minmax(0, 3fr) minmax(320px, 2fr); height: 100vh; }
  header { grid-column: 1 / -1; display: flex; gap: 1em; align-items: center; padding: 8px 14px; background: #1e2129; }
  header h1 { font-size: 16px; margin: 0; }
  #status { color: #8fd18f; }
  #sessions { display: flex; gap: 1.5em; }
  .session { display: flex; gap: 0.6em; align-items: center; }
  .session .note { color: #a9b0bd; }
  .session[data-status="passed"] .note { color: #8fd18f; } .session[data-status="failed"] .note { color: #ef6b73; }
  #about { margin-left: auto; color: #7d8590; }
  button.primary { background: #2f6fd0; border-color: #3f7fe0; font-weight: 600; }
  button.primary:hover { background: #3f7fe0; }
  button:disabled { opacity: 0.5; cursor: default; }
  #channels { display: grid; grid-template-columns: repeat(auto-fill, minmax(280px, 1fr)); gap: 10px; padding: 10px; align-content: start; overflow: auto; }
  .channel { margin: 0; background: #0b0c0f; border-radius: 6px; overflow: hidden; }
  .channel canvas { display: block; width: 100%; aspect-ratio: 16 / 9; object-fit: contain; background: #000; }
  .channel figcaption { padding: 4px 8px; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; font-size: 12px; color: #a9b0bd; }
  aside { display: flex; flex-direction: column; min-height: 0; border-left: 1px solid #2a2e38; }
  #buttons { display: flex; flex-wrap: wrap; gap: 6px; padding: 10px; }
  button { background: #2d3340; color: inherit; border: 1px solid #3b4252; border-radius: 4px; padding: 4px 9px; cursor: pointer; }
  button:hover { background: #3b4252; }
  #custom { display: flex; gap: 6px; padding: 0 10px 10px; }
  #custom input { flex: 1; background: #0b0c0f; color: inherit; border: 1px solid #3b4252; border-radius: 4px; padding: 4px; font-family: ui-monospace, monospace; }
  #transcript { flex: 1; overflow: auto; padding: 6px 10px; font: 12px ui-monospace, monospace; background: #0e1014; }
  .entry { display: grid; grid-template-columns: 5.5em 7.5em 1fr; gap: 6px; white-space: pre-wrap; word-break: break-all; }
  .time { color: #6b7280; } .kind { color: #9aa3b2; }
  .command .kind { color: #7cb7ff; } .reply .kind { color: #8fd18f; } .event .kind { color: #e5c07b; }
  .note .text { font-weight: bold; } .failure .kind, .protocolError .kind, .exit .kind { color: #ef6b73; }
  .stderr .text { color: #7d8590; }
  .marked .text, .mark { color: #ef6b73; } .repeats { color: #7d8590; }
  .channel[data-state="stopped"] figcaption { color: #ef6b73; }
  #buttons[hidden] { display: none; }
</style>
</head>
<body>
<header><h1>quorlane-view</h1><span id="status">connecting…</span><span id="sessions"></span><span id="about"></span></header>
<main id="channels"></main>
<aside>
  <div id="buttons"></div>
  <form id="custom"><input placeholder='any command, e.g. {"type":"OpenSpeaker"}' aria-label="command"><button>Send</button></form>
  <div id="transcript"></div>
</aside>
<script src="/modules.js"></script>
<script>quorlaneRequire('view/page/main').start();</script>
</body>
</html>
`;
