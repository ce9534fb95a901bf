import { readdirSync, readFileSync } from 'node:fs';
import { join, relative, sep } from 'node:path';

// A tiny CommonJS loader for the browser: the compiled modules are registered by id
// ("renderer/index") and resolve their relative require() calls among themselves.
const loader = `(function () {
  var factories = Object.create(null);
  var cache = Object.create(null);
  function resolve(from, request) {
    var parts = from.split('/');
    parts.pop();
    request.replace(/\\.js$/, '').split('/').forEach(function (part) {
      if (part === '..') parts.pop();
      else if (part !== '.') parts.push(part);
    });
    var id = parts.join('/');
    return factories[id] ? id : id + '/index';
  }
  function load(id) {
    if (cache[id]) return cache[id].exports;
    var factory = factories[id];
    if (!factory) throw new Error('no browser module "' + id + '"');
    var module = { exports: {} };
    cache[id] = module;
    factory.call(module.exports, module.exports, function (request) {
      return load(resolve(id, request));
    }, module);
    return module.exports;
  }
  self.quorlaneDefine = function (id, factory) { factories[id] = factory; };
  self.quorlaneRequire = load;
})();
`;

function javaScriptFiles(directory: string): string[] {
  return readdirSync(directory, { withFileTypes: true }).flatMap((entry) => {
    const path = join(directory, entry.name);
    if (entry.isDirectory()) return javaScriptFiles(path);
    return entry.name.endsWith('.js') ? [path] : [];
  });
}

/**
 * One classic script that makes the compiled modules under `root`/`paths` (folders, or single
 * modules named with their `.js`) loadable in a page without a bundler: after it ran,
 * `quorlaneRequire('renderer/index')` returns the module. Only modules without Node.js
 * dependencies can run there.
 */
export function browserModuleScript(root: string, paths: readonly string[]): string {
  const parts = [loader];
  for (const path of paths) {
    const files = path.endsWith('.js') ? [join(root, path)] : javaScriptFiles(join(root, path));
    for (const file of files) {
      const id = relative(root, file).split(sep).join('/').replace(/\.js$/, '');
      const source = readFileSync(file, 'utf8').replace(/^\/\/# sourceMappingURL=.*$/m, '');
      parts.push(
        `quorlaneDefine(${JSON.stringify(id)}, function (exports, require, module) {\n${source}\n});\n`,
      );
    }
  }
  return parts.join('');
}

/** The directory holding the compiled package sources (dist/ when installed). */
export const compiledRoot = join(__dirname, '..');
