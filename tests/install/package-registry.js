// A package registry on 127.0.0.1 for the new-user test: it serves the packages of the tarballs
// given (npm pack files) as the public registry would, so that npm resolves quorlane's optional
// platform packages by their os and cpu. npm is pointed at it for the @quorlane scope only.
// Prints its address once it listens; answers 404 for any other package.
//     node package-registry.js TARBALL...
'use strict';
const { execFileSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');

const packages = new Map(); // name -> { manifest, file, bytes }
for (const file of process.argv.slice(2)) {
  const manifest = JSON.parse(execFileSync('tar', ['-xzOf', file, 'package/package.json']));
  packages.set(manifest.name, { manifest, file, bytes: fs.readFileSync(file) });
}

function packument(entry, base) {
  const { manifest, file, bytes } = entry;
  const digest = (algorithm, encoding) =>
    crypto.createHash(algorithm).update(bytes).digest(encoding);
  return {
    name: manifest.name,
    'dist-tags': { latest: manifest.version },
    versions: {
      [manifest.version]: {
        ...manifest,
        _id: `${manifest.name}@${manifest.version}`,
        dist: {
          tarball: `${base}/tarballs/${path.basename(file)}`,
          integrity: `sha512-${digest('sha512', 'base64')}`,
          shasum: digest('sha1', 'hex'),
        },
      },
    },
  };
}

const server = http.createServer((request, response) => {
  const base = `http://${request.headers.host}`;
  const wanted = decodeURIComponent(new URL(request.url, base).pathname.slice(1));
  const tarball = wanted.startsWith('tarballs/')
    ? [...packages.values()].find((p) => path.basename(p.file) === wanted.slice(9))
    : undefined;
  const entry = packages.get(wanted);
  if (tarball !== undefined) {
    response.writeHead(200, { 'content-type': 'application/octet-stream' });
    response.end(tarball.bytes);
  } else if (entry !== undefined) {
    response.writeHead(200, { 'content-type': 'application/json' });
    response.end(JSON.stringify(packument(entry, base)));
  } else {
    response.writeHead(404, { 'content-type': 'application/json' });
    response.end('{"error":"not found"}');
  }
});
server.listen(0, '127.0.0.1', () => console.log(`http://127.0.0.1:${server.address().port}/`));
