// A stand-in for the push service, for the client tests: HTTP/2 over TLS on a loopback port.
// Usage: node apns-test-server.js <cert.pem> <key.pem> <signing-public-key.pem> [--http1]
// With --http1 it is a plain HTTPS server that offers only HTTP/1.1 and answers 200 to anything,
// for the client's check that the service really speaks HTTP/2. It prints "request <method>
// <path>" for each request and, when a connection closes, "closed <n>" with the bytes that
// arrived over it after the TLS handshake.
// Prints the port on its first line. Verifies each request's provider token on its own (ES256,
// raw r||s signature) and answers by device token:
//   a…a (64)  200, with a JSON body describing what arrived (the client ignores it)
//   b…b       400 {"reason":"BadDeviceToken"}
//   c…c       403 without a body
//   d…d       never answered: the server prints "held <path>" and keeps the stream open
// A token that does not verify gets 403 {"reason":"InvalidProviderToken"}. Ends when its standard
// input closes, so a test that dies never leaves it running.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const http2 = require('http2');

const https = require('https');

const [cert, key, signingKey] = process.argv.slice(2, 5).map((p) => fs.readFileSync(p));
const http1Only = process.argv.includes('--http1');

function verifyToken(authorization) {
  if (!authorization || !authorization.startsWith('bearer ')) return null;
  const parts = authorization.slice(7).split('.');
  if (parts.length !== 3) return null;
  const [header, claims, signature] = parts;
  const ok = crypto.verify('sha256', Buffer.from(header + '.' + claims),
      {key: signingKey, dsaEncoding: 'ieee-p1363'}, Buffer.from(signature, 'base64url'));
  if (!ok) return null;
  return {
    header: Buffer.from(header, 'base64url').toString(),
    claims: Buffer.from(claims, 'base64url').toString(),
  };
}

if (http1Only) {
  const plain = https.createServer({cert, key}, (request, response) => {
    process.stdout.write(`request ${request.method} ${request.url}\n`);
    request.resume();
    request.on('end', () => { response.writeHead(200); response.end('{}'); });
  });
  // What arrived over each connection once TLS was up: anything at all is a request that left.
  plain.on('secureConnection', (socket) => {
    let bytes = 0;
    socket.on('data', (chunk) => { bytes += chunk.length; });
    socket.on('close', () => process.stdout.write(`closed ${bytes}\n`));
  });
  plain.listen(0, '127.0.0.1', () => process.stdout.write(plain.address().port + '\n'));
  process.stdin.resume();
  process.stdin.on('end', () => process.exit(0));
  return;
}

const server = http2.createSecureServer({cert, key, allowHTTP1: false});
let requests = 0;
server.on('stream', (stream, headers) => {
  requests += 1;
  let body = '';
  stream.setEncoding('utf8');
  stream.on('data', (chunk) => { body += chunk; });
  stream.on('end', () => {
    const token = verifyToken(headers['authorization']);
    const path = headers[':path'] || '';
    const deviceToken = path.split('/').pop();
    const answer = (status, json) => {
      stream.respond({':status': status});
      stream.end(json === undefined ? undefined : JSON.stringify(json));
    };
    if (!token) return answer(403, {reason: 'InvalidProviderToken'});
    if (/^b+$/.test(deviceToken)) return answer(400, {reason: 'BadDeviceToken'});
    if (/^c+$/.test(deviceToken)) return answer(403);
    if (/^d+$/.test(deviceToken)) return process.stdout.write(`held ${path}\n`);
    const names = Object.keys(headers).filter((n) => !n.startsWith(':'));
    answer(200, {
      method: headers[':method'], path, authority: headers[':authority'], names,
      topic: headers['apns-topic'], pushType: headers['apns-push-type'],
      priority: headers['apns-priority'], body, token, requests,
      sessions: server.sessionCount,
    });
  });
});
server.sessionCount = 0;
server.on('session', () => { server.sessionCount += 1; });
server.listen(0, '127.0.0.1', () => {
  process.stdout.write(server.address().port + '\n');
});
process.stdin.resume();
process.stdin.on('end', () => process.exit(0));
